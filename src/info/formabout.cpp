#include "info/formabout.h"

#include "platform/accessibility.h"
#include "platform/controls.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>

using namespace platform;

FormAbout::FormAbout(Program &program) : Form(program, Border::FixedToolWindow)
{
    setObjectName(QStringLiteral("FormAbout"));
    setCaption(QStringLiteral("About Chat and Me..."));
    setClientSize(4530, 3915);
    QWidget *area = client();

    Command1 = place(makeButton(area, QStringLiteral("Command1"), QStringLiteral("OK")), 3600, 3360, 855, 495);
    Label2 = place(makeLabel(area, QStringLiteral("Label2"), QStringLiteral("Plain text, person to person")), 120, 3120, 3375, 375);
    Label2->setFont(makeFont(QStringLiteral("Times New Roman"), 12, true));
    setColors(Label2, QColor(192, 0, 192));
    Label1 = place(makeLabel(area, QStringLiteral("Label1"), QStringLiteral("ZAQ CHAT 1.0")), 480, 3360, 2535, 375);
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
    describe(Image1, QStringLiteral("ZAQ CHAT picture")); // a picture has no caption to name it

    setTabOrder({Command1, Label1, Label2});
    makeDismissButton(Command1);
    wire(Command1, &QPushButton::clicked, &FormAbout::Command1_Click);
}

void FormAbout::Form_Load()
{
    Print(QString());
    Print(QStringLiteral("ZAQ CHAT Version 1.0"));
    Print(QStringLiteral("A chat for two on TCP/IP"));
    Print(QString());
    Print(QStringLiteral("This is CLIENT/SERVER CHAT"));
    Print(QStringLiteral("Using Windows Socket Control."));
    Print(QString());
    Print(QString());
    Print(QString());
    Print(QString());
    Print(QString());
    Print(QStringLiteral("Built with Qt 6 for the desktop."));
    Print(QString());
    Print(QStringLiteral("Each line goes straight to the other side,"));
    Print(QStringLiteral("as plain UTF-8 text on one TCP connection;"));
    Print(QStringLiteral("any plain TCP client can join in."));
}

void FormAbout::Command1_Click()
{
    Hide();
}
