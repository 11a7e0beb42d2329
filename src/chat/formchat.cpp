#include "chat/formchat.h"

#include "chat/errortext.h"
#include "info/formabout.h"
#include "info/formhelp.h"
#include "connection/farewell.h"
#include "connection/winsock.h"
#include "access/accessibility.h"
#include "access/announcer.h"
#include "controls/colors.h"
#include "controls/composition.h"
#include "controls/controls.h"
#include "system/fonts.h"
#include "controls/line.h"
#include "controls/longtextbox.h"
#include "controls/shortcuts.h"
#include "controls/statuslabel.h"
#include "transcript/transcriptbox.h"
#include "transcript/transcriptkeys.h"
#include "setup/formsetup.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>

using namespace platform;

namespace {
const QString CrLf = QStringLiteral("\r\n");
} // namespace

FormChat::FormChat(Program &program) : Form(program)
{
    setObjectName(QStringLiteral("FormChat"));
    setCaption(baseCaption());
    setClientSize(5355, 4830);
    setIconFromResources();
    QWidget *area = client();
    setWindowBackColor(area, QColor(192, 192, 192));

    Command1 = place(makeButton(area, QStringLiteral("Command1"), tr("Send")), 4200, 4200, 975, 495);
    Command1->setToolTip(tr("Press On This Key To Send Your Message"));
    Command1->setEnabled(false);
    // A click leaves the focus in the message box, and with it what an input
    // method is composing there, for Send to take.
    Command1->setFocusPolicy(Qt::TabFocus);

    Status = place(new StatusLabel(area), 3120, 240, 2055, 375);
    Status->setObjectName(QStringLiteral("Status"));
    Status->setTextFormat(Qt::PlainText);
    Status->setFont(makeFont(QStringLiteral("Times New Roman"), 12));
    Status->setToolTip(tr("Current Status of Connection"));
    Status->setAlignment(Qt::AlignCenter);

    Label1 = place(makeLabel(area, QStringLiteral("Label1"), tr("Your Message:")), 0, 3840, 1590, 315);
    Label1->setFont(makeFont(QStringLiteral("Comic Sans MS"), 11.25, true));
    setColors(Label1, QColor(192, 0, 192));
    sizeToText(Label1);

    ScreenMsg = place(new TranscriptBox(area), 120, 720, 5055, 3135);
    ScreenMsg->setObjectName(QStringLiteral("ScreenMsg"));
    describe(ScreenMsg, tr("Chat Room"), tr("This is Chat Room"));
    ScreenMsg->setMaxChars(TranscriptBound);

    MyMsg = place(new LongTextBox(area, [](qsizetype characters) {
        return tr("%1 characters to send").arg(QLocale().toString(characters));
    }), 120, 4200, 3855, 495);
    MyMsg->setObjectName(QStringLiteral("MyMsg"));
    MyMsg->setFont(makeFont(QStringLiteral("Lucida Sans Unicode"), 12));
    MyMsg->setToolTip(tr("Here Enter Your Message"));
    composition_ = new Composition(MyMsg);

    Welcome = place(makeLabel(area, QStringLiteral("Welcome"), QString()), 120, 120, 3000, 435);
    Welcome->setFont(makeFont(QStringLiteral("Comic Sans MS"), 14.25, true));
    setColors(Welcome, QColor(0, 0, 255));

    Winsock = new platform::Winsock(this);
    Winsock->setObjectName(QStringLiteral("Winsock"));

    Line1 = makeLine(area, QStringLiteral("Line1"), 0, 5500, 0);

    mnuChat = addMenu(QStringLiteral("mnuChat"), tr("&Chat"));
    mnuCR = addItem(mnuChat, QStringLiteral("mnuCR"), tr("&Reconnect"));
    mnuCR->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    mnuCD = addItem(mnuChat, QStringLiteral("mnuCD"), tr("&Disconnect"));
    mnuCD->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    mnuCM = addSeparator(mnuChat, QStringLiteral("mnuCM"));
    mnuCE = addItem(mnuChat, QStringLiteral("mnuCE"), tr("&Exit"));
    mnuO = addMenu(QStringLiteral("mnuO"), tr("&Other"));
    mnuOH = addItem(mnuO, QStringLiteral("mnuOH"), tr("&Help"));
    mnuOA = addItem(mnuO, QStringLiteral("mnuOA"), tr("&About"));
    letShortcutsThrough(MyMsg, {mnuCR->shortcut(), mnuCD->shortcut()});

    Label1->setBuddy(MyMsg); // names the input box
    setTabOrder({Command1, Status, Label1, ScreenMsg, MyMsg, Welcome});
    // The transcript never keeps the focus: whatever would give it the focus
    // (the first show, Tab, a click) gives it to the input box instead, so
    // no screen reader hears the transcript take it for a moment.
    ScreenMsg->setFocusProxy(MyMsg);
    new TranscriptKeys(MyMsg, ScreenMsg);
    announcer_ = new Announcer(this, [](qsizetype n) {
        return n == 1 ? tr("1 more line") : tr("%n more lines", nullptr, int(n));
    });

    wire(Status, &StatusLabel::changed, &FormChat::Status_Change);
    wire(Command1, &QPushButton::clicked, &FormChat::Command1_Click);
    returnFocusAfterClick(Command1, MyMsg); // the next line is typed at once
    wire(Winsock, &platform::Winsock::connected, &FormChat::Winsock_Connect);
    wire(Winsock, &platform::Winsock::connectionRequest, &FormChat::Winsock_ConnectionRequest);
    wire(Winsock, &platform::Winsock::dataArrival, &FormChat::Winsock_DataArrival);
    wire(ScreenMsg, &TranscriptBox::arrivalsShown, &FormChat::ScreenMsg_ArrivalsShown);
    wire(Winsock, &platform::Winsock::closed, &FormChat::Winsock_Close);
    wire(Winsock, &platform::Winsock::errorOccurred, &FormChat::Winsock_Error);
    wire(Winsock, &platform::Winsock::undelivered, &FormChat::Winsock_Undelivered);
    wire(mnuCR, &QAction::triggered, &FormChat::mnuCR_Click);
    wire(mnuCD, &QAction::triggered, &FormChat::mnuCD_Click);
    wire(mnuCE, &QAction::triggered, &FormChat::mnuCE_Click);
    wire(mnuOH, &QAction::triggered, &FormChat::mnuOH_Click);
    wire(mnuOA, &QAction::triggered, &FormChat::mnuOA_Click);
    // Not a handler: it runs after End, when handlers no longer do.
    connect(&program, &Program::ended, this, &FormChat::deliverAfterEnd);
}

QString FormChat::baseCaption()
{
    return tr("ZAQ CHAT Chating");
}

void FormChat::Form_Load()
{
    ScreenMsg->setText(tr("Welcome To Chat!") + CrLf);
}

void FormChat::Status_Change(const QString &status)
{
    ScreenMsg->showArrivals(); // the last lines are said before the status that follows them
    announcer_->announceStatus(status);
}

void FormChat::Winsock_Connect()
{
    Status->setText(tr("Connected"));
    Command1->setEnabled(true);
}

void FormChat::Winsock_ConnectionRequest(qint32 requestID)
{
    Winsock->Close();
    Winsock->Accept(requestID);
    Status->setText(tr("Connected"));
    Command1->setEnabled(true);
}

void FormChat::Winsock_Close()
{
    Winsock->Close();
    Status->setText(tr("Disconnected"));
    Command1->setEnabled(false);
}

void FormChat::Winsock_Error(qint32 number, const QString &)
{
    // A connection attempt failed: say so, and do not pretend to be connecting.
    Winsock->Close();
    Status->setText(tr("Disconnected"));
    Command1->setEnabled(false);
    program().MsgBox(tr("Problem To Connect!"), MsgBoxStyle::Critical, tr("Connection Failed!"),
                     ErrorText::connectFailure(number, Winsock->RemoteHost().trimmed(), Winsock->RemotePort()));
}

void FormChat::Winsock_Undelivered(qint64 characters, qint32 lines)
{
    // The conversation is over and the other computer never confirmed the
    // end of what was sent: say how much, once.
    tellUndelivered(program(), characters, lines);
}

void FormChat::tellUndelivered(Program &program, qint64 characters, qint32 lines)
{
    const QString count = characters == 1 ? tr("1 character") : tr("%1 characters").arg(QLocale().toString(characters));
    const QString prompt = lines == 1 ? tr("The last %1 of your last line may not have arrived.").arg(count)
                                      : tr("The last %1 of your last %2 lines may not have arrived.").arg(count).arg(lines);
    program.MsgBox(prompt, MsgBoxStyle::Exclamation, tr("Not Delivered!"),
                   tr("The connection ended before the other computer confirmed them. Ask the other person "
                      "where your text stops, and send the rest again in a new conversation."));
}

void FormChat::deliverAfterEnd()
{
    Program &program = this->program();
    for (Farewell *farewell : Winsock->releaseFarewells(&program)) {
        program.keepRunningFor(farewell);
        // Raised once the farewell is over; the program ends after the box.
        connect(farewell, &Farewell::finished, &program, [&program](qint64 characters, qint32 lines) {
            if (characters > 0)
                tellUndelivered(program, characters, lines);
        });
    }
}

void FormChat::Command1_Click()
{
    const QString userName = program().form<FormSetup>().UserName->text();
    // What the box shows, the part an input method is still composing included.
    const QString message = composition_->shownText();
    composition_->take();
    MsgLine = CrLf + userName + QStringLiteral(": ") + message;
    ScreenMsg->appendText(MsgLine);
    Winsock->SendData(MsgLine);
    ScreenMsg->setSelStart(ScreenMsg->Text().size());
    MyMsg->setText(QString());
}

void FormChat::Winsock_DataArrival(qint32)
{
    Winsock->GetData(InData);
    ScreenMsg->appendArrival(CrLf + InData);
}

void FormChat::ScreenMsg_ArrivalsShown(const QString &arrived)
{
    ScreenMsg->setSelStart(ScreenMsg->Text().size());
    announcer_->announceLines(arrived);
    Alert();
}

void FormChat::mnuCR_Click()
{
    setCaption(baseCaption());
    Winsock->Close();
    Status->setText(tr("Disconnected"));
    Command1->setEnabled(false);
    program().form<FormSetup>().Show();
    Hide();
}

void FormChat::mnuCD_Click()
{
    Winsock->Close();
    Status->setText(tr("Disconnected"));
    Command1->setEnabled(false);
}

void FormChat::mnuCE_Click()
{
    Winsock->Close();
    program().End();
}

void FormChat::Form_Unload()
{
    Winsock->Close();
    program().End();
}

void FormChat::mnuOH_Click()
{
    program().form<FormHelp>().Show();
}

void FormChat::mnuOA_Click()
{
    program().form<FormAbout>().Show();
}
