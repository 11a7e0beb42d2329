#include "info/formhelp.h"

#include "controls/colors.h"
#include "controls/controls.h"

#include <QLabel>
#include <QPushButton>

using namespace platform;

FormHelp::FormHelp(Program &program)
    : InfoForm(program, QStringLiteral("FormHelp"), tr("Help Setuping and Chating..."), {4395, 3840},
               {2280, 3240, 975, 495})
{
    Label1 = place(makeLabel(client(), QStringLiteral("Label1"), tr("ZAQ Chat Version 1.0")), 2640, 0, 1575, 255);
    setColors(Label1, QColor(0, 0, 255));
    setTabOrder({Command1, Label1});
}

QStringList FormHelp::page() const
{
    return {
        QString(),
        tr("Your IP Address you may find:"),
        tr("~~~~~~~~~~~~~~~~~~~"),
        tr("In WINDOWS 95/98      run command WINIPCFG.EXE"),
        tr("In WINDOWS NT/2000 run command IPCONFIG.EXE"),
        QString(),
        tr("---------------IN SETUP-------------------------"),
        tr("1. Enter Remote Computer IP Address"),
        tr("2. Enter Port Number.   Default Port - 1001"),
        tr("3. Enter Your Name"),
        QString(),
        tr("----------------IN CHAT-------------------------"),
        tr("1. Wait until your will take message 'CONNECTED'"),
        tr("2. Type your message below 'YOUR MESSAGE'"),
        tr("3. Press SEND button to send your message."),
    };
}
