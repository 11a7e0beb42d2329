#pragma once

#include "controls/form.h"

#include <QRect>
#include <QStringList>

class QPushButton;

// An information window: a tool window with a fixed page printed on it when
// it loads, and an OK button that hides it again (Enter on the button, or
// Escape anywhere in the window).
class InfoForm : public platform::Form
{
    Q_OBJECT

public:
    QPushButton *Command1;

protected:
    // The client size and the OK button's place, in twips.
    InfoForm(platform::Program &program, const QString &name, const QString &caption, QSize clientTwips,
             QRect okTwips);

    // The lines printed on the window, top to bottom.
    virtual QStringList page() const = 0;
    void Form_Load() override;

private:
    void Command1_Click();
};
