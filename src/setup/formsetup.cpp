#include "setup/formsetup.h"

#include "chat/errortext.h"
#include "chat/formchat.h"
#include "info/formhelp.h"
#include "connection/typedhost.h"
#include "connection/winsock.h"
#include "access/accessibility.h"
#include "controls/colors.h"
#include "controls/controls.h"
#include "system/fonts.h"
#include "controls/line.h"
#include "setup/portfield.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

using namespace platform;

namespace {
const QColor Blue(0, 0, 255);
const QColor Magenta(255, 0, 255);
const QColor Red(255, 0, 0);
const QColor Black(0, 0, 0);
const QColor FieldBack(192, 192, 0);
} // namespace

FormSetup::FormSetup(Program &program) : Form(program)
{
    setObjectName(QStringLiteral("FormSetup"));
    const QString choice = tr("Select SERVER or CLIENT");
    setCaption(tr("ZAQ CHAT -Setup-"));
    setClientSize(4995, 3960);
    setIconFromResources();
    QWidget *area = client();
    const QFont times = makeFont(QStringLiteral("Times New Roman"), 12);
    const QFont timesBold = makeFont(QStringLiteral("Times New Roman"), 12, true);

    Frame1 = place(new QGroupBox(area), 240, 240, 1095, 855);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    describe(Frame1, choice, choice); // the frame has no caption to name it
    Option1 = place(new QRadioButton(tr("Server"), Frame1), 120, 120, 855, 375);
    Option1->setObjectName(QStringLiteral("Option1"));
    Option1->setToolTip(choice);
    Option1->setChecked(true);
    Option2 = place(new QRadioButton(tr("Client"), Frame1), 120, 420, 855, 375);
    Option2->setObjectName(QStringLiteral("Option2"));
    Option2->setToolTip(choice);

    Label1 = place(makeLabel(area, QStringLiteral("Label1"), tr("Remote Computer IP:")), 285, 1320, 2235, 285);
    Label1->setFont(timesBold);
    setColors(Label1, Blue);
    RemIP = place(makeTextBox(area, QStringLiteral("RemIP"), 15), 2640, 1320, 2175, 375);
    RemIP->setFont(times);
    RemIP->setToolTip(tr("Here Enter Remote IP Address"));
    setColors(RemIP, Magenta, FieldBack);

    Label2 = place(makeLabel(area, QStringLiteral("Label2"), tr("Port Number:")), 1110, 1800, 1395, 285);
    Label2->setFont(timesBold);
    setColors(Label2, Blue);
    PortNum = place(makeTextBox(area, QStringLiteral("PortNum"), 4), 2640, 1800, 2175, 375);
    PortNum->setFont(times);
    PortNum->setToolTip(tr("Here Enter Port Number"));
    setColors(PortNum, Red, FieldBack);

    Label3 = place(makeLabel(area, QStringLiteral("Label3"), tr("Your Name:")), 1245, 2400, 1245, 285);
    Label3->setFont(timesBold);
    setColors(Label3, Magenta);
    UserName = place(makeTextBox(area, QStringLiteral("UserName"), 8), 2640, 2400, 2175, 375);
    UserName->setFont(makeFont(QStringLiteral("Comic Sans MS"), 12, true));
    UserName->setToolTip(tr("Here Enter Your Name"));
    setColors(UserName, Black, FieldBack);

    Label4 = place(makeLabel(area, QStringLiteral("Label4"), tr("Welcome To ZAQ Chat !!!")), 1410, 360, 3555, 405);
    Label4->setFont(makeFont(QStringLiteral("Comic Sans MS"), 14.25, true));
    setColors(Label4, Magenta);
    for (QLabel *label : {Label1, Label2, Label3, Label4}) {
        label->setAlignment(Qt::AlignCenter);
        sizeToText(label);
    }

    Command1 = place(makeButton(area, QStringLiteral("Command1"), tr("Connect")), 3000, 3120, 1575, 615);
    Command1->setFont(makeFont(QStringLiteral("Comic Sans MS"), 14.25));
    Command1->setToolTip(tr("Press On This Key To Connect"));

    Line1 = makeLine(area, QStringLiteral("Line1"), 0, 5040, 0);

    mnuC = addMenu(QStringLiteral("mnuC"), tr("&Chat"));
    mnuH = addItem(mnuC, QStringLiteral("mnuH"), tr("&Help"));
    mnuCM = addSeparator(mnuC, QStringLiteral("mnuCM"));
    mnuCE = addItem(mnuC, QStringLiteral("mnuCE"), tr("&Exit"));

    // Each field is named by the label beside it.
    Label1->setBuddy(RemIP);
    Label2->setBuddy(PortNum);
    Label3->setBuddy(UserName);

    setTabOrder({Frame1, Option1, Option2, Label1, RemIP, Label2, PortNum, Label3, UserName, Label4, Command1});

    wire(Command1, &QPushButton::clicked, &FormSetup::Command1_Click);
    wire(mnuH, &QAction::triggered, &FormSetup::mnuH_Click);
    wire(mnuCE, &QAction::triggered, &FormSetup::mnuCE_Click);
}

void FormSetup::Form_Load()
{
    PortNum->setText(QStringLiteral("1001"));
}

void FormSetup::Command1_Click()
{
    FieldsOk = true;
    if (RemIP->text() == QString()) {
        program().MsgBox(tr("Fill -> Remote IP"), MsgBoxStyle::Exclamation, tr("Missed!"));
        FieldsOk = false;
    }
    if (Option2->isChecked() && readTypedHost(RemIP->text()).kind == TypedHost::Unusable) {
        // A number in another form than four decimals would reach some other computer.
        program().MsgBox(tr("\"%1\" is not a computer address.").arg(RemIP->text()), MsgBoxStyle::Exclamation,
                         tr("Wrong Address!"),
                         tr("Type four numbers from 0 to 255 with dots between them (for example "
                            "192.168.1.20), an IPv6 address (for example ::1 or [::1]) or the "
                            "computer's name, then press Connect again."));
        FieldsOk = false;
    }
    if (PortNum->text() == QString()) {
        program().MsgBox(tr("Fill -> Port Number"), MsgBoxStyle::Exclamation, tr("Missed!"));
        FieldsOk = false;
    }
    if (UserName->text() == QString()) {
        program().MsgBox(tr("Fill -> Your Name"), MsgBoxStyle::Exclamation, tr("Missed!"));
        FieldsOk = false;
    }
    if (FieldsOk) {
        if (Option1->isChecked()) {
            FormChat &chat = program().form<FormChat>();
            chat.Winsock->Close();
            chat.Winsock->setLocalPort(portNumber());
            chat.Winsock->Listen();
            chat.setCaption(tr("%1 as SERVER").arg(chat.Caption()));
            chat.Status->setText(tr("Listening..."));
            chat.Show();
            Hide();
        }
        if (Option2->isChecked()) {
            FormChat &chat = program().form<FormChat>();
            chat.Winsock->Close();
            chat.Winsock->setRemoteHost(RemIP->text());
            chat.Winsock->setRemotePort(portNumber());
            chat.Winsock->Connect();
            chat.setCaption(tr("%1 as CLIENT").arg(chat.Caption()));
            chat.Status->setText(tr("Connecting..."));
            chat.Show();
            Hide();
        }
    }
    program().form<FormChat>().Welcome->setText(tr("Welcome %1").arg(UserName->text()));
}

int FormSetup::portNumber() const
{
    const std::optional<int> port = portFromText(PortNum->text());
    if (!port)
        throw Error(err::InvalidPropertyValue, Operation::ReadPort).refusing(PortNum->text());
    return *port;
}

void FormSetup::mnuH_Click()
{
    program().form<FormHelp>().Show();
}

void FormSetup::mnuCE_Click()
{
    program().form<FormChat>().Winsock->Close();
    program().End();
}

void FormSetup::Form_Unload()
{
    // Closing this window ends the program, so no hidden copy keeps a port open.
    if (program().isLoaded<FormChat>())
        program().form<FormChat>().Winsock->Close();
    program().End();
}
