#pragma once

#include "platform/form.h"

class QLabel;
class QPushButton;

// A short page about the program: a picture, a printed block, two labels.
class FormAbout : public platform::Form
{
    Q_OBJECT

public:
    explicit FormAbout(platform::Program &program);

    QPushButton *Command1;
    QLabel *Label2;
    QLabel *Label1;
    QLabel *Image1;

protected:
    void Form_Load() override;

private:
    void Command1_Click();
};
