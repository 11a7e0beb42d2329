#include "info/formhelp.h"

#include "platform/controls.h"

#include <QLabel>
#include <QPushButton>

using namespace platform;

FormHelp::FormHelp(Program &program) : Form(program, Border::FixedToolWindow)
{
    setObjectName(QStringLiteral("FormHelp"));
    setCaption(QStringLiteral("Help Setuping and Chating..."));
    setClientSize(4395, 3840);
    QWidget *area = client();

    Command1 = place(makeButton(area, QStringLiteral("Command1"), QStringLiteral("OK")), 2280, 3240, 975, 495);
    Label1 = place(makeLabel(area, QStringLiteral("Label1"), QStringLiteral("ZAQ Chat Version 1.0")), 2640, 0, 1575, 255);
    setColors(Label1, QColor(0, 0, 255));

    setTabOrder({Command1, Label1});
    makeDismissButton(Command1);
    wire(Command1, &QPushButton::clicked, &FormHelp::Command1_Click);
}

void FormHelp::Form_Load()
{
    Print(QString());
    Print(QStringLiteral("Your IP Address you may find:"));
    Print(QStringLiteral("~~~~~~~~~~~~~~~~~~~"));
    Print(QStringLiteral("In WINDOWS 95/98      run command WINIPCFG.EXE"));
    Print(QStringLiteral("In WINDOWS NT/2000 run command IPCONFIG.EXE"));
    Print(QString());
    Print(QStringLiteral("---------------IN SETUP-------------------------"));
    Print(QStringLiteral("1. Enter Remote Computer IP Address"));
    Print(QStringLiteral("2. Enter Port Number.   Default Port - 1001"));
    Print(QStringLiteral("3. Enter Your Name"));
    Print(QString());
    Print(QStringLiteral("----------------IN CHAT-------------------------"));
    Print(QStringLiteral("1. Wait until your will take message 'CONNECTED'"));
    Print(QStringLiteral("2. Type your message below 'YOUR MESSAGE'"));
    Print(QStringLiteral("3. Press SEND button to send your message."));
}

void FormHelp::Command1_Click()
{
    Hide();
}
