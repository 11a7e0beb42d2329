// The setup window, driven through its controls: defaults, field checks,
// starting a server or a client, bad ports, and closing it.

#include "chat/formchat.h"
#include "app/startup.h"
#include "connection/winsock.h"
#include "setup/formsetup.h"
#include "support/testing.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextDocument>
#include <QtTest>

#include <optional>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

using platform::Winsock;

namespace {
const QString Base = QStringLiteral("ZAQ CHAT Chating");

// One copy of the program with its setup window on the screen.
struct Copy
{
    TestProgram program;
    FormSetup &setup = program->form<FormSetup>();
    Copy() { setup.Show(); }
    FormChat &chat() { return program->form<FormChat>(); }
    void connect() { QTest::mouseClick(setup.Command1, Qt::LeftButton); }
};

// A loopback port that takes no connection and refuses none: its listener's
// queue is full, so the system drops every new attempt without a word, as a
// computer that is switched off would.
class SilentListener
{
public:
    explicit SilentListener(quint16 port)
    {
#ifdef Q_OS_LINUX
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (::bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(listener_, 0) != 0)
            return;
        // One connection fills a queue of length 0; nobody accepts it.
        filler_ = ::socket(AF_INET, SOCK_STREAM, 0);
        ready_ = ::connect(filler_, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
#else
        Q_UNUSED(port);
#endif
    }
    ~SilentListener()
    {
#ifdef Q_OS_LINUX
        for (int fd : {filler_, listener_})
            if (fd >= 0)
                ::close(fd);
#endif
    }
    bool ready() const { return ready_; }

private:
    int listener_ = -1;
    int filler_ = -1;
    bool ready_ = false;
};
} // namespace

class TstSetup : public QObject
{
    Q_OBJECT

private slots:
    void startsWithItsDefaults();
    void labelsFitTheirText_data();
    void labelsFitTheirText();
    void typingStopsAtTheLengthLimits_data();
    void typingStopsAtTheLengthLimits();
    void emptyFieldsAreReportedInOrder_data();
    void emptyFieldsAreReportedInOrder();
    void realBoxesShowOneAfterAnother();
    void boxDetailIsPlainText();
    void blanksOnlyFieldsPass();
    void serverStartsListening();
    void clientConnects_data();
    void clientConnects();
    void numericShorthandsAreRefused_data();
    void numericShorthandsAreRefused();
    void clientTakesThePortAsAWholeNumber_data();
    void clientTakesThePortAsAWholeNumber();
    void captionSuffixNeverDoubles_data();
    void captionSuffixNeverDoubles();
    void badPortIsRefused_data();
    void badPortIsRefused();
    void portInUseIsReported();
    void failedClientConnectionIsReported_data();
    void failedClientConnectionIsReported();
    void closingSetupEndsTheProgram_data();
    void closingSetupEndsTheProgram();
    void privilegedPortNeedsRights();
};

void TstSetup::startsWithItsDefaults()
{
    Copy c;
    QCOMPARE(c.setup.Caption(), QStringLiteral("ZAQ CHAT -Setup-"));
    QCOMPARE(c.setup.PortNum->text(), QStringLiteral("1001"));
    QCOMPARE(c.setup.RemIP->text(), QString());
    QCOMPARE(c.setup.UserName->text(), QString());
    QVERIFY(c.setup.Option1->isChecked());
    QVERIFY(!c.setup.Option2->isChecked());
    QCOMPARE(c.setup.Command1->text(), QStringLiteral("Connect"));
    QCOMPARE(c.setup.findChild<QLineEdit *>(QStringLiteral("RemIP")), c.setup.RemIP);
    const QList<std::pair<QWidget *, QString>> tips = {
        {c.setup.Frame1, QStringLiteral("Select SERVER or CLIENT")},
        {c.setup.Option1, QStringLiteral("Select SERVER or CLIENT")},
        {c.setup.Option2, QStringLiteral("Select SERVER or CLIENT")},
        {c.setup.RemIP, QStringLiteral("Here Enter Remote IP Address")},
        {c.setup.PortNum, QStringLiteral("Here Enter Port Number")},
        {c.setup.UserName, QStringLiteral("Here Enter Your Name")},
        {c.setup.Command1, QStringLiteral("Press On This Key To Connect")},
    };
    for (const auto &[control, tip] : tips)
        QCOMPARE(control->toolTip(), tip);
    // Nothing but the setup window exists yet.
    QVERIFY(!c.program->isLoaded<FormChat>());
}

void TstSetup::labelsFitTheirText_data()
{
    // The labels that are sized to their text, with their boxes in twips.
    QTest::addColumn<bool>("chat");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("box");
    QTest::newRow("address") << false << "Label1" << QRect(285, 1320, 2235, 285);
    QTest::newRow("port") << false << "Label2" << QRect(1110, 1800, 1395, 285);
    QTest::newRow("name") << false << "Label3" << QRect(1245, 2400, 1245, 285);
    QTest::newRow("greeting") << false << "Label4" << QRect(1410, 360, 3555, 405);
    QTest::newRow("your message") << true << "Label1" << QRect(0, 3840, 1590, 315);
}

void TstSetup::labelsFitTheirText()
{
    QFETCH(bool, chat);
    QFETCH(QString, name);
    QFETCH(QRect, box);
    Copy c;
    QWidget &window = chat ? static_cast<QWidget &>(c.chat()) : c.setup;
    auto *label = window.findChild<QLabel *>(name);
    const QFontMetrics metrics(label->font());
    const QRect ink = metrics.tightBoundingRect(label->text());
    QVERIFY2(label->width() >= metrics.horizontalAdvance(label->text()) && label->width() > ink.right(),
             qPrintable(QStringLiteral("%1 px for %2 px of text").arg(label->width()).arg(ink.right() + 1)));
    QVERIFY(label->height() >= metrics.height());
    // Centred where the table puts the box (15 twips a pixel), unless that
    // would push it past the window's left edge.
    const QPointF centre(box.x() / 15.0 + box.width() / 30.0, box.y() / 15.0 + box.height() / 30.0);
    const QPointF shown = QRectF(label->geometry()).center();
    QVERIFY2(label->x() == 0 || qAbs(shown.x() - centre.x()) <= 1, qPrintable(QString::number(shown.x())));
    QVERIFY2(qAbs(shown.y() - centre.y()) <= 1, qPrintable(QString::number(shown.y())));
}

void TstSetup::typingStopsAtTheLengthLimits_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<bool>("setDirectly");
    QTest::newRow("address, 15") << "RemIP" << "192.168.100.200.7" << "192.168.100.200" << false;
    QTest::newRow("port, 4") << "PortNum" << "123456" << "1234" << false;
    QTest::newRow("name, 8") << "UserName" << "Alexandra" << "Alexandr" << false;
    QTest::newRow("name, 8 non-ASCII") << "UserName" << QStringLiteral("Zo\u00eb Zo\u00eb Zo\u00eb") << QStringLiteral("Zo\u00eb Zo\u00eb ") << false;
    // A pair is one character and is never cut in half (half would go out as "?").
    const QString smile = QStringLiteral("\U0001F600");
    QTest::newRow("name, 7 and a pair") << "UserName" << "abcdefg" + smile + "x" << "abcdefg" + smile << false;
    QTest::newRow("name, 8 and a pair") << "UserName" << "abcdefgh" + smile << "abcdefgh" << false;
    QTest::newRow("name set to 10 characters of pairs") << "UserName" << "a" + smile.repeated(9) << "a" + smile.repeated(7) << true;
    // Not even a program can put a port beyond 9999 in the box.
    QTest::newRow("port set to five digits") << "PortNum" << "65536" << "6553" << true;
}

void TstSetup::typingStopsAtTheLengthLimits()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QFETCH(bool, setDirectly);
    Copy c;
    auto *box = c.setup.findChild<QLineEdit *>(field);
    QVERIFY(box);
    box->clear();
    if (setDirectly)
        box->setText(typed);
    else
        typeText(box, typed);
    QCOMPARE(box->text(), kept);
}

void TstSetup::emptyFieldsAreReportedInOrder_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("clearPort");
    QTest::addColumn<QStringList>("prompts");
    QTest::newRow("all three") << "" << "" << true
                               << QStringList{"Fill -> Remote IP", "Fill -> Port Number", "Fill -> Your Name"};
    QTest::newRow("address") << "" << "Ann" << false << QStringList{"Fill -> Remote IP"};
    QTest::newRow("port") << "127.0.0.1" << "Ann" << true << QStringList{"Fill -> Port Number"};
    QTest::newRow("name") << "127.0.0.1" << "" << false << QStringList{"Fill -> Your Name"};
    QTest::newRow("address and name") << "" << "" << false << QStringList{"Fill -> Remote IP", "Fill -> Your Name"};
}

void TstSetup::emptyFieldsAreReportedInOrder()
{
    QFETCH(QString, ip);
    QFETCH(QString, name);
    QFETCH(bool, clearPort);
    QFETCH(QStringList, prompts);
    for (bool client : {false, true}) {
        Copy c;
        fillSetup(c.setup, ip, clearPort ? QString() : QString::number(freeLowPort()), name, client);
        c.connect();
        QCOMPARE(c.program.boxes.size(), prompts.size());
        for (qsizetype i = 0; i < prompts.size(); ++i) {
            QCOMPARE(c.program.boxes[i].prompt, prompts[i]);
            QCOMPARE(c.program.boxes[i].title, QStringLiteral("Missed!"));
            QCOMPARE(c.program.boxes[i].style, 48);
        }
        // The chat window is loaded, greeted and named, but not shown.
        QVERIFY(c.program->isLoaded<FormChat>());
        QVERIFY(!c.chat().isVisible());
        QVERIFY(c.setup.isVisible());
        QCOMPARE(c.chat().Welcome->text(), QStringLiteral("Welcome ") + name);
        QCOMPARE(c.chat().Winsock->State(), platform::SocketState::Closed);
        QCOMPARE(c.chat().Caption(), Base);
    }
}

void TstSetup::realBoxesShowOneAfterAnother()
{
    // The one test with real message boxes: each is modal, says its text
    // under its title with an exclamation icon, and closes with OK.
    platform::Program program;
    app::prepareProgram(program);
    FormSetup &setup = program.form<FormSetup>();
    setup.Show();
    setup.PortNum->clear();
    QStringList seen;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        // Noted here and checked once all are closed: whatever a box is
        // like, it goes, so a wrong one fails the test instead of hanging it.
        QAbstractButton *ok = box->button(QMessageBox::Ok);
        seen << QStringLiteral("%1: %2 (%3%4)")
                    .arg(box->windowTitle(), box->text(),
                         box->icon() == QMessageBox::Warning ? QStringLiteral("exclamation") : QStringLiteral("other icon"),
                         ok && box->buttons().size() == 1 ? QStringLiteral(", OK") : QStringLiteral(", other buttons"))
                + (box->parentWidget() == &setup ? QString() : QStringLiteral(", not owned by the setup window"));
        if (ok)
            ok->click();
        else
            box->reject();
    });
    closer.start(20);
    setup.Command1->click(); // returns once the last box is closed
    QCOMPARE(seen, (QStringList{QStringLiteral("Missed!: Fill -> Remote IP (exclamation, OK)"),
                                QStringLiteral("Missed!: Fill -> Port Number (exclamation, OK)"),
                                QStringLiteral("Missed!: Fill -> Your Name (exclamation, OK)")}));
    QVERIFY(!program.form<FormChat>().isVisible());
}

void TstSetup::boxDetailIsPlainText()
{
    // A detail can quote what someone typed or sent; markup in it is shown as typed.
    platform::Program program;
    app::prepareProgram(program);
    const QString detail = QStringLiteral("<h1>BIG</h1> & <b>bold</b>");
    QStringList shown; // each label as it reads, markup rendered
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        for (QLabel *label : box->findChildren<QLabel *>()) {
            QTextDocument page;
            const bool rich = label->textFormat() == Qt::RichText
                              || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
            rich ? page.setHtml(label->text()) : page.setPlainText(label->text());
            shown << page.toPlainText();
        }
        box->button(QMessageBox::Ok)->click();
    });
    closer.start(20);
    program.MsgBox(QStringLiteral("Problem To Connect!"), platform::MsgBoxStyle::Critical, QStringLiteral("t"), detail);
    QVERIFY2(shown.contains(detail), qPrintable(shown.join(QLatin1Char('|'))));
    QVERIFY(shown.contains(QStringLiteral("Problem To Connect!")));
}

void TstSetup::blanksOnlyFieldsPass()
{
    Copy c;
    fillSetup(c.setup, QStringLiteral("   "), QString::number(freeLowPort()), QStringLiteral("  "), false);
    c.connect();
    QCOMPARE(c.program.boxes.size(), 0);
    QCOMPARE(c.chat().Winsock->State(), platform::SocketState::Listening);
    QCOMPARE(c.chat().Welcome->text(), QStringLiteral("Welcome   "));
}

void TstSetup::serverStartsListening()
{
    Copy c;
    const quint16 port = freeLowPort();
    fillSetup(c.setup, QStringLiteral("10.9.8.7"), QString::number(port), QStringLiteral("Ann"), false);
    c.connect();
    QCOMPARE(c.program.boxes.size(), 0);
    QCOMPARE(c.chat().Status->text(), QStringLiteral("Listening..."));
    QCOMPARE(c.chat().Caption(), Base + QStringLiteral(" as SERVER"));
    QCOMPARE(c.chat().Welcome->text(), QStringLiteral("Welcome Ann"));
    QVERIFY(c.chat().isVisible());
    QVERIFY(!c.setup.isVisible());
    // The address is not used: it listens on every local address, IPv6 too
    // where the system has it.
    QTcpServer probe;
    const bool ipv6 = probe.listen(QHostAddress::LocalHostIPv6, 0);
    QTcpSocket peer;
    peer.connectToHost(ipv6 ? QHostAddress::LocalHostIPv6 : QHostAddress::LocalHost, port);
    QTRY_VERIFY(peer.state() != QAbstractSocket::ConnectingState);
    QCOMPARE(peer.state(), QAbstractSocket::ConnectedState);
    QTRY_COMPARE(c.chat().Status->text(), QStringLiteral("Connected"));
}

void TstSetup::clientConnects_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("peerAt"); // where the peer listens; empty for every address
    QTest::newRow("IPv4") << "127.0.0.1" << QString();
    QTest::newRow("name") << "localhost" << QString();
    QTest::newRow("IPv6") << "::1" << QString();
    QTest::newRow("IPv6 in brackets") << "[::1]" << QString();
    // Four decimal numbers; leading zeros mean nothing (the resolver would read 010 as 8).
    QTest::newRow("zero-padded") << "127.000.000.010" << "127.0.0.10";
    QTest::newRow("one zero-padded number") << "127.0.0.010" << "127.0.0.10";
}

void TstSetup::clientConnects()
{
    QFETCH(QString, address);
    QFETCH(QString, peerAt);
    QTcpServer raw;
    const quint16 port = freeLowPort();
    if (address.contains(u':') && !raw.listen(QHostAddress::LocalHostIPv6, port))
        QSKIP("no IPv6 loopback here");
    raw.close();
    QVERIFY(raw.listen(peerAt.isEmpty() ? QHostAddress(QHostAddress::Any) : QHostAddress(peerAt), port));
    Copy c;
    fillSetup(c.setup, address, QString::number(port), QStringLiteral("Bob"), true);
    c.connect();
    QCOMPARE(c.chat().Status->text(), QStringLiteral("Connecting..."));
    QCOMPARE(c.chat().Caption(), Base + QStringLiteral(" as CLIENT"));
    QVERIFY(c.chat().isVisible());
    QVERIFY(!c.setup.isVisible());
    QTRY_COMPARE(c.chat().Status->text(), QStringLiteral("Connected"));
    QVERIFY(c.chat().Command1->isEnabled());
    QTRY_VERIFY(raw.hasPendingConnections());
    QCOMPARE(c.program.boxes.size(), 0);
}

void TstSetup::numericShorthandsAreRefused_data()
{
    QTest::addColumn<QString>("address");
    // What system resolvers take for 127.0.0.1 (or some other computer), and
    // numbers that are no address at all: refused, never guessed.
    for (const char *typed : {"127.1", "0x7f.1", "2130706433", "0177.1", "127.0.0.0x1", "1.2.3.4.5", "999.1.1.1"})
        QTest::newRow(typed) << QString::fromLatin1(typed);
}

void TstSetup::numericShorthandsAreRefused()
{
    QFETCH(QString, address);
    QTcpServer raw;
    const quint16 port = freeLowPort();
    QVERIFY(raw.listen(QHostAddress::Any, port));
    Copy c;
    fillSetup(c.setup, address, QString::number(port), QStringLiteral("Bob"), true);
    c.connect();
    QCOMPARE(c.program.boxes.size(), 1);
    const RecordingBoxes::Box &box = c.program.boxes.first();
    QCOMPARE(box.title, QStringLiteral("Wrong Address!"));
    QCOMPARE(box.prompt, QStringLiteral("\"%1\" is not a computer address.").arg(address));
    QCOMPARE(box.style, 48);
    QVERIFY2(box.detail.contains(QLatin1String("192.168.1.20")), qPrintable(box.detail));
    QVERIFY(c.setup.isVisible());
    QVERIFY(!c.chat().isVisible());
    QCOMPARE(c.chat().Winsock->State(), platform::SocketState::Closed);
    QVERIFY(!raw.waitForNewConnection(100));

    // A server does not use the address: the same text listens.
    QTest::mouseClick(c.setup.Option1, Qt::LeftButton);
    c.setup.PortNum->setText(QString::number(freeLowPort()));
    c.connect();
    QCOMPARE(c.chat().Status->text(), QStringLiteral("Listening..."));
    QCOMPARE(c.program.boxes.size(), 1);
}

void TstSetup::clientTakesThePortAsAWholeNumber_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("port");
    QTest::newRow("leading zero") << "08" << 8;
    QTest::newRow("blanks around") << " 80 " << 80;
    QTest::newRow("highest") << "9999" << 9999;
    QTest::newRow("lowest") << "0001" << 1;
}

void TstSetup::clientTakesThePortAsAWholeNumber()
{
    QFETCH(QString, typed);
    QFETCH(int, port);
    Copy c;
    // A blank address: the attempt fails without dialling anyone, so these
    // ports, some of them well known, are never touched.
    fillSetup(c.setup, QStringLiteral(" "), typed, QStringLiteral("Bob"), true);
    QCOMPARE(c.setup.PortNum->text(), typed);
    c.connect();
    QCOMPARE(c.chat().Status->text(), QStringLiteral("Connecting..."));
    QCOMPARE(c.chat().Winsock->RemotePort(), port);
    QTRY_COMPARE(c.program.boxes.size(), 1);
    QVERIFY2(c.program.boxes.first().detail.startsWith(QLatin1String("No computer address was given")),
             qPrintable(c.program.boxes.first().detail));
}

void TstSetup::captionSuffixNeverDoubles_data()
{
    QTest::addColumn<QList<bool>>("roles"); // true for client
    QTest::newRow("server, then client") << QList<bool>{false, true};
    QTest::newRow("client, then server") << QList<bool>{true, false};
    QTest::newRow("server three times") << QList<bool>{false, false, false};
    QTest::newRow("client, server, client") << QList<bool>{true, false, true};
}

void TstSetup::captionSuffixNeverDoubles()
{
    QFETCH(QList<bool>, roles);
    QTcpServer raw; // something for the client to reach
    QVERIFY(raw.listen(QHostAddress::LocalHost, freeLowPort()));
    Copy c;
    for (bool client : roles) {
        const quint16 port = client ? raw.serverPort() : freeLowPort();
        fillSetup(c.setup, QStringLiteral("127.0.0.1"), QString::number(port), QStringLiteral("Ann"), client);
        c.connect();
        QCOMPARE(c.chat().Caption(), Base + (client ? QStringLiteral(" as CLIENT") : QStringLiteral(" as SERVER")));
        c.chat().mnuCR->trigger();
        QCOMPARE(c.chat().Caption(), Base);
        QVERIFY(c.setup.isVisible());
    }
    QCOMPARE(c.program.boxes.size(), 0);
}

void TstSetup::badPortIsRefused_data()
{
    QTest::addColumn<QString>("port");
    QTest::newRow("letters") << "abc";
    QTest::newRow("zero") << "0";
    QTest::newRow("negative") << "-1";
    QTest::newRow("plus sign") << "+80";
    QTest::newRow("exponent") << "1e3";
    QTest::newRow("blanks only") << "    ";
    QTest::newRow("Arabic-Indic digits") << QStringLiteral("\u0661\u0662");
}

void TstSetup::badPortIsRefused()
{
    QFETCH(QString, port);
    for (bool client : {false, true}) {
        Copy c;
        fillSetup(c.setup, QStringLiteral("127.0.0.1"), QString(), QStringLiteral("Ann"), client);
        c.setup.PortNum->setText(port);
        c.connect();
        QCOMPARE(c.program.boxes.size(), 1);
        const RecordingBoxes::Box &box = c.program.boxes.first();
        QCOMPARE(box.style, 16);
        QVERIFY2(box.prompt.contains(QLatin1String("Port Number")), qPrintable(box.prompt));
        QVERIFY2(box.prompt.contains(QLatin1String("1 to 9999")), qPrintable(box.prompt));
        QCOMPARE(c.chat().Winsock->State(), platform::SocketState::Closed);
        QVERIFY(!c.chat().isVisible());
        QVERIFY(c.setup.isVisible());
        QCOMPARE(c.chat().Caption(), Base);
    }
}

void TstSetup::portInUseIsReported()
{
    QTcpServer holder;
    QVERIFY(holder.listen(QHostAddress::Any, freeLowPort()));
    Copy c;
    fillSetup(c.setup, QStringLiteral("127.0.0.1"), QString::number(holder.serverPort()), QStringLiteral("Ann"), false);
    c.connect();
    QCOMPARE(c.program.boxes.size(), 1);
    QCOMPARE(c.program.boxes.first().style, 16);
    QVERIFY2(c.program.boxes.first().prompt.contains(QLatin1String("in use")), qPrintable(c.program.boxes.first().prompt));
    QVERIFY(!c.chat().isVisible());
    QVERIFY(c.setup.isVisible());
    QCOMPARE(c.chat().Winsock->State(), platform::SocketState::Closed);
}

void TstSetup::failedClientConnectionIsReported_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("peer");
    QTest::addColumn<QString>("detail");
    QTest::newRow("nobody listens") << "127.0.0.1" << "none" << "127.0.0.1 refused the connection on port %1";
    QTest::newRow("nobody answers") << "127.0.0.1" << "silent" << "127.0.0.1 did not answer on port %1";
    QTest::newRow("address of blanks") << "  " << "none" << "No computer address was given";
}

void TstSetup::failedClientConnectionIsReported()
{
    QFETCH(QString, address);
    QFETCH(QString, peer);
    QFETCH(QString, detail);
    const quint16 port = freeLowPort();
    std::optional<SilentListener> silent;
    if (peer == QLatin1String("silent")) {
        silent.emplace(port);
        QVERIFY(silent->ready());
    }
    Copy c;
    // The attempt is given up after a tenth of a second here instead of the
    // usual limit, so the test need not wait for it.
    c.chat().Winsock->setConnectTimeout(100);
    fillSetup(c.setup, address, QString::number(port), QStringLiteral("Bob"), true);
    c.connect();
    QCOMPARE(c.chat().Status->text(), QStringLiteral("Connecting..."));
    QTRY_COMPARE_WITH_TIMEOUT(c.program.boxes.size(), 1, 1000);
    const RecordingBoxes::Box &box = c.program.boxes.first();
    QCOMPARE(box.prompt, QStringLiteral("Problem To Connect!"));
    QCOMPARE(box.title, QStringLiteral("Connection Failed!"));
    QCOMPARE(box.style, 16);
    QVERIFY2(box.detail.startsWith(detail.replace(QStringLiteral("%1"), QString::number(port))), qPrintable(box.detail));
    QCOMPARE(c.chat().Status->text(), QStringLiteral("Disconnected"));
    QVERIFY(!c.chat().Command1->isEnabled());
    QCOMPARE(c.chat().Winsock->State(), platform::SocketState::Closed);

    // The server comes up late; Reconnect and Connect again find it.
    silent.reset();
    QTcpServer late;
    QVERIFY(late.listen(QHostAddress::Any, port));
    c.chat().mnuCR->trigger();
    fillSetup(c.setup, QStringLiteral("127.0.0.1"), QString::number(port), QStringLiteral("Bob"), true);
    c.connect();
    QTRY_COMPARE(c.chat().Status->text(), QStringLiteral("Connected"));
    QCOMPARE(c.chat().Caption(), Base + QStringLiteral(" as CLIENT"));
    QCOMPARE(c.program.boxes.size(), 1);
}

void TstSetup::closingSetupEndsTheProgram_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("viaExit");
    // The chat window's endpoint as the program ends; -1 for no chat window.
    QTest::addColumn<int>("stateAtEnd");
    const int closed = int(platform::SocketState::Closed);
    QTest::newRow("close, nothing else loaded") << "nothing" << false << -1;
    QTest::newRow("close, after failed checks") << "failed checks" << false << closed;
    QTest::newRow("close, after Reconnect") << "reconnect" << false << closed;
    // Exit closes the chat window's endpoint, loading the window if need be.
    QTest::newRow("Exit, nothing else loaded") << "nothing" << true << closed;
    QTest::newRow("Exit, after failed checks") << "failed checks" << true << closed;
    QTest::newRow("Exit, after Reconnect") << "reconnect" << true << closed;
}

void TstSetup::closingSetupEndsTheProgram()
{
    QFETCH(QString, before);
    QFETCH(bool, viaExit);
    QFETCH(int, stateAtEnd);
    Copy c;
    if (before == QLatin1String("failed checks")) {
        c.connect();
        QCOMPARE(c.program.boxes.size(), 2);
    } else if (before == QLatin1String("reconnect")) {
        fillSetup(c.setup, QStringLiteral("x"), QString::number(freeLowPort()), QStringLiteral("Ann"), false);
        c.connect();
        c.chat().mnuCR->trigger();
    }
    QVERIFY(c.setup.isVisible());
    int stateSeen = -1;
    connect(&*c.program, &platform::Program::ended, this, [&] {
        // The windows are still there, on their way out.
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (auto *chat = qobject_cast<FormChat *>(window); chat && &chat->program() == &*c.program)
                stateSeen = int(chat->Winsock->State());
        }
    });
    if (viaExit)
        c.setup.mnuCE->trigger();
    else
        QVERIFY(c.setup.close());
    QCOMPARE(c.program.endCount, 1);
    QVERIFY(c.program->hasEnded());
    QVERIFY(!c.setup.isVisible());
    QCOMPARE(stateSeen, stateAtEnd);
}

void TstSetup::privilegedPortNeedsRights()
{
#ifdef Q_OS_UNIX
    if (geteuid() == 0)
        QSKIP("administrators may listen on any port; run this as an ordinary user");
#endif
    QTcpServer probe;
    if (probe.listen(QHostAddress::Any, 1001))
        QSKIP("this system lets ordinary users listen on port 1001");
    if (probe.serverError() != QAbstractSocket::SocketAccessError)
        QSKIP("port 1001 is taken by another program");
    Copy c;
    fillSetup(c.setup, QStringLiteral("127.0.0.1"), QStringLiteral("1001"), QStringLiteral("Ann"), false);
    c.connect();
    QCOMPARE(c.program.boxes.size(), 1);
    const RecordingBoxes::Box &box = c.program.boxes.first();
    QCOMPARE(box.style, 16);
    const QString text = box.prompt + QLatin1Char('\n') + box.detail;
    QVERIFY2(text.contains(QLatin1String("administrator rights")), qPrintable(text));
    QVERIFY2(text.contains(QLatin1String("1024 to 9999")), qPrintable(text));
    QVERIFY(!c.chat().isVisible());
    QVERIFY(c.setup.isVisible());
}

QTEST_MAIN(TstSetup)
#include "tst_setup.moc"
