#pragma once

#include "platform/form.h"

class QLabel;
class QPushButton;

// A fixed page of usage notes, printed on the window when it loads.
class FormHelp : public platform::Form
{
    Q_OBJECT

public:
    explicit FormHelp(platform::Program &program);

    QPushButton *Command1;
    QLabel *Label1;

protected:
    void Form_Load() override;

private:
    void Command1_Click();
};
