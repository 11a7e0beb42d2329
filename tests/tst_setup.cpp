// The setup window, driven through its controls: defaults, field checks,
// starting a server or a client, bad ports, and closing it.

#include "chat/formchat.h"
#include "platform/net/winsock.h"
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
#include <QtTest>

#ifdef Q_OS_UNIX
#include <unistd.h>
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
    void blanksOnlyFieldsPass();
    void serverStartsListening();
    void clientConnects();
    void captionSuffixNeverDoubles_data();
    void captionSuffixNeverDoubles();
    void badPortIsRefused_data();
    void badPortIsRefused();
    void portInUseIsReported();
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
    FormSetup &setup = program.form<FormSetup>();
    setup.Show();
    setup.PortNum->clear();
    QStringList seen;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen << box->windowTitle() + QStringLiteral(": ") + box->text();
        QCOMPARE(box->icon(), QMessageBox::Warning);
        QCOMPARE(box->parentWidget(), &setup); // the window that raised it owns it
        box->button(QMessageBox::Ok)->click();
    });
    closer.start(20);
    setup.Command1->click(); // returns once the last box is closed
    QCOMPARE(seen, (QStringList{QStringLiteral("Missed!: Fill -> Remote IP"), QStringLiteral("Missed!: Fill -> Port Number"),
                                QStringLiteral("Missed!: Fill -> Your Name")}));
    QVERIFY(!program.form<FormChat>().isVisible());
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
    // The address is not used: it listens on every local address.
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, port);
    QTRY_COMPARE(peer.state(), QAbstractSocket::ConnectedState);
    QTRY_COMPARE(c.chat().Status->text(), QStringLiteral("Connected"));
}

void TstSetup::clientConnects()
{
    QTcpServer raw;
    QVERIFY(raw.listen(QHostAddress::LocalHost, freeLowPort()));
    Copy c;
    fillSetup(c.setup, QStringLiteral("127.0.0.1"), QString::number(raw.serverPort()), QStringLiteral("Bob"), true);
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

void TstSetup::failedClientConnectionIsReported()
{
    Copy c;
    fillSetup(c.setup, QStringLiteral("127.0.0.1"), QString::number(freeLowPort()), QStringLiteral("Bob"), true);
    c.connect();
    QTRY_COMPARE(c.program.boxes.size(), 1);
    const RecordingBoxes::Box &box = c.program.boxes.first();
    QCOMPARE(box.prompt, QStringLiteral("Problem To Connect!"));
    QCOMPARE(box.title, QStringLiteral("Connection Failed!"));
    QCOMPARE(box.style, 16);
    QVERIFY(!box.detail.isEmpty());
    QCOMPARE(c.chat().Status->text(), QStringLiteral("Disconnected"));
    QVERIFY(!c.chat().Command1->isEnabled());
    QCOMPARE(c.chat().Winsock->State(), platform::SocketState::Closed);

    // The server comes up late; Reconnect and Connect again find it.
    QTcpServer late;
    QVERIFY(late.listen(QHostAddress::Any, c.setup.PortNum->text().toUShort()));
    c.chat().mnuCR->trigger();
    c.connect();
    QTRY_COMPARE(c.chat().Status->text(), QStringLiteral("Connected"));
    QCOMPARE(c.chat().Caption(), Base + QStringLiteral(" as CLIENT"));
    QCOMPARE(c.program.boxes.size(), 1);
}

void TstSetup::closingSetupEndsTheProgram_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("viaExit");
    for (bool viaExit : {false, true}) {
        const char *how = viaExit ? "Exit" : "close";
        QTest::addRow("%s, nothing else loaded", how) << "nothing" << viaExit;
        QTest::addRow("%s, after failed checks", how) << "failed checks" << viaExit;
        QTest::addRow("%s, after Reconnect", how) << "reconnect" << viaExit;
    }
}

void TstSetup::closingSetupEndsTheProgram()
{
    QFETCH(QString, before);
    QFETCH(bool, viaExit);
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
    int stateAtEnd = -1;
    connect(&*c.program, &platform::Program::ended, this, [&] {
        // The windows are still there, on their way out.
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (auto *chat = qobject_cast<FormChat *>(window); chat && &chat->program() == &*c.program)
                stateAtEnd = int(chat->Winsock->State());
        }
    });
    if (viaExit)
        c.setup.mnuCE->trigger();
    else
        QVERIFY(c.setup.close());
    QCOMPARE(c.program.endCount, 1);
    QVERIFY(c.program->hasEnded());
    QVERIFY(!c.setup.isVisible());
    QVERIFY(stateAtEnd == -1 || stateAtEnd == int(platform::SocketState::Closed));
    if (viaExit)
        QVERIFY(stateAtEnd == int(platform::SocketState::Closed)); // Exit refers to the chat window's socket
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
