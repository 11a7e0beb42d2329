#include "info/infoform.h"

#include "controls/controls.h"
#include "controls/dismissbutton.h"

#include <QPushButton>

using namespace platform;

InfoForm::InfoForm(Program &program, const QString &name, const QString &caption, QSize clientTwips,
                   QRect okTwips)
    : Form(program, Border::FixedToolWindow)
{
    setObjectName(name);
    setCaption(caption);
    setClientSize(clientTwips.width(), clientTwips.height());
    Command1 = place(makeButton(client(), QStringLiteral("Command1"), tr("OK")), okTwips.x(), okTwips.y(),
                     okTwips.width(), okTwips.height());
    makeDismissButton(Command1);
    wire(Command1, &QPushButton::clicked, &InfoForm::Command1_Click);
}

void InfoForm::Form_Load()
{
    for (const QString &line : page())
        Print(line);
}

void InfoForm::Command1_Click()
{
    Hide();
}
