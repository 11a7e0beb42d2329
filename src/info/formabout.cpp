#include "info/formabout.h"

#include "access/accessibility.h"
#include "controls/colors.h"
#include "controls/controls.h"
#include "system/fonts.h"

#include <QLabel>
#include <QPushButton>
#include <QPixmap>

using namespace platform;

FormAbout::FormAbout(Program &program)
    : InfoForm(program, QStringLiteral("FormAbout"), tr("About Chat and Me..."), {4530, 3915},
               {3600, 3360, 855, 495})
{
    QWidget *area = client();
    Label2 = place(makeLabel(area, QStringLiteral("Label2"), tr("Plain text, person to person")), 120, 3120, 3375, 375);
    Label2->setFont(makeFont(QStringLiteral("Times New Roman"), 12, true));
    setColors(Label2, QColor(192, 0, 192));
    Label1 = place(makeLabel(area, QStringLiteral("Label1"), tr("ZAQ CHAT 1.0")), 480, 3360, 2535, 375);
    Label1->setFont(makeFont(QStringLiteral("Comic Sans MS"), 14.25, true));
    setColors(Label1, QColor(0, 0, 255));
    // Text from the top of each box: centred in their overlapping boxes, the
    // two contact lines would touch.
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // The picture is built into the program and stretched to its box.
    Image1 = place(makeLabel(area, QStringLiteral("Image1"), QString()), 2400, 120, 2040, 1980);
    Image1->setPixmap(QPixmap(QStringLiteral(":/about.jpg")));
    Image1->setScaledContents(true);
    describe(Image1, tr("ZAQ CHAT picture")); // a picture has no caption to name it

    setTabOrder({Command1, Label1, Label2});
}

QStringList FormAbout::page() const
{
    return {
        QString(),
        tr("ZAQ CHAT Version 1.0"),
        tr("A chat for two on TCP/IP"),
        QString(),
        tr("This is CLIENT/SERVER CHAT"),
        tr("Using Windows Socket Control."),
        QString(),
        QString(),
        QString(),
        QString(),
        QString(),
        tr("Built with Qt 6 for the desktop."),
        QString(),
        tr("Each line goes straight to the other side,"),
        tr("as plain UTF-8 text on one TCP connection;"),
        tr("any plain TCP client can join in."),
    };
}
