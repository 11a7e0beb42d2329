// The chat window's menus: Reconnect, Disconnect, Exit, closing the window,
// Help and About, their shortcuts, and one whole conversation between two
// copies of the program driven through their controls.

#include "chat/formchat.h"
#include "info/formabout.h"
#include "info/formhelp.h"
#include "transcript/transcriptbox.h"
#include "connection/winsock.h"
#include "setup/formsetup.h"
#include "support/testing.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using platform::Winsock;

namespace {

const QString Base = QStringLiteral("ZAQ CHAT Chating");
// A server copy talking to a raw peer on loopback.
struct ServerWithPeer
{
    TestProgram program;
    quint16 port = freeLowPort();
    QTcpSocket peer;
    FormChat &chat() { return program->form<FormChat>(); }
    FormSetup &setup() { return program->form<FormSetup>(); }
};

void startServerWithPeer(ServerWithPeer &s, const QString &name = QStringLiteral("Ann"))
{
    connectFromSetup(*s.program, QStringLiteral("127.0.0.1"), s.port, name, false);
    s.peer.connectToHost(QHostAddress::LocalHost, s.port);
    QTRY_COMPARE(s.chat().Status->text(), QStringLiteral("Connected"));
    QTRY_COMPARE(s.peer.state(), QAbstractSocket::ConnectedState);
}

void checkStatus(FormChat &chat, const QString &status)
{
    QTRY_COMPARE(chat.Status->text(), status);
    QCOMPARE(chat.Command1->isEnabled(), status == QLatin1String("Connected"));
}

// How many windows of class F belong to this copy of the program.
template <class F>
int instancesOf(platform::Program &program)
{
    int count = 0;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *form = qobject_cast<F *>(window); form && &form->program() == &program)
            ++count;
    }
    return count;
}

// Runs a menu command or closes the chat window.
void act(FormChat &chat, const QString &action)
{
    if (action == QLatin1String("close"))
        chat.close();
    else
        chat.findChild<QAction *>(action)->trigger();
}

} // namespace

class TstCommands : public QObject
{
    Q_OBJECT

private slots:
    void menusAreAsDesigned();
    void reconnectReturnsToSetup_data();
    void reconnectReturnsToSetup();
    void changedUserNameAppliesFromTheNextLine_data();
    void changedUserNameAppliesFromTheNextLine();
    void disconnectTwiceIsHarmless_data();
    void disconnectTwiceIsHarmless();
    void peerSeesTheGoing_data();
    void peerSeesTheGoing();
    void leavingWhileConnectingFreesTheServer_data();
    void leavingWhileConnectingFreesTheServer();
    void exitClosesTheSocketThenEnds_data();
    void exitClosesTheSocketThenEnds();
    void shortcutsWorkFromTheInputBox_data();
    void shortcutsWorkFromTheInputBox();
    void helpAndAboutShowOneInstance();
    void twoCopiesChatThroughTheirControls();
};

void TstCommands::menusAreAsDesigned()
{
    ServerWithPeer s;
    FormChat &chat = s.chat();
    auto *bar = chat.findChild<QMenuBar *>();
    QVERIFY(bar);
    QCOMPARE(bar->actions(), (QList<QAction *>{chat.mnuChat->menuAction(), chat.mnuO->menuAction()}));
    QCOMPARE(chat.mnuChat->title(), QStringLiteral("&Chat"));
    QCOMPARE(chat.mnuO->title(), QStringLiteral("&Other"));
    QCOMPARE(chat.mnuChat->actions(), (QList<QAction *>{chat.mnuCR, chat.mnuCD, chat.mnuCM, chat.mnuCE}));
    QCOMPARE(chat.mnuO->actions(), (QList<QAction *>{chat.mnuOH, chat.mnuOA}));
    const QList<std::tuple<QAction *, QString, QKeySequence>> items = {
        {chat.mnuCR, QStringLiteral("&Reconnect"), QKeySequence(Qt::CTRL | Qt::Key_R)},
        {chat.mnuCD, QStringLiteral("&Disconnect"), QKeySequence(Qt::CTRL | Qt::Key_D)},
        {chat.mnuCE, QStringLiteral("&Exit"), QKeySequence()},
        {chat.mnuOH, QStringLiteral("&Help"), QKeySequence()},
        {chat.mnuOA, QStringLiteral("&About"), QKeySequence()},
    };
    for (const auto &[item, caption, shortcut] : items) {
        QCOMPARE(item->text(), caption);
        QCOMPARE(item->shortcut(), shortcut);
    }
    QVERIFY(chat.mnuCM->isSeparator());

    // Enabled whatever the connection status.
    const auto allEnabled = [&] {
        for (QAction *item : chat.findChildren<QAction *>())
            QVERIFY2(item->isEnabled(), qPrintable(item->objectName()));
    };
    allEnabled();
    startServerWithPeer(s);
    allEnabled();
    chat.mnuCD->trigger();
    allEnabled();
}

void TstCommands::reconnectReturnsToSetup_data()
{
    QTest::addColumn<QString>("from");
    QTest::newRow("listening") << "listening";
    QTest::newRow("connected") << "connected";
    QTest::newRow("peer has left") << "peer left";
    QTest::newRow("disconnected") << "disconnected";
}

void TstCommands::reconnectReturnsToSetup()
{
    QFETCH(QString, from);
    ServerWithPeer s;
    if (from == QLatin1String("listening"))
        connectFromSetup(*s.program, QStringLiteral("10.1.2.3"), s.port, QStringLiteral("Ann"), false);
    else
        startServerWithPeer(s);
    if (QTest::currentTestFailed())
        return;
    if (from != QLatin1String("listening")) {
        s.peer.write("from the peer");
        QTRY_VERIFY(s.chat().ScreenMsg->Text().endsWith(QLatin1String("from the peer")));
    }
    if (from == QLatin1String("peer left")) {
        s.peer.disconnectFromHost();
        QTRY_COMPARE(s.chat().Status->text(), QStringLiteral("Disconnected"));
    } else if (from == QLatin1String("disconnected")) {
        s.chat().mnuCD->trigger();
    }
    const QString transcript = s.chat().ScreenMsg->Text();
    QSignalSpy peerGone(&s.peer, &QAbstractSocket::disconnected);

    s.chat().mnuCR->trigger();
    QCOMPARE(s.chat().Caption(), Base);
    checkStatus(s.chat(), QStringLiteral("Disconnected"));
    QCOMPARE(s.chat().Winsock->State(), platform::SocketState::Closed);
    QVERIFY(!s.chat().isVisible());
    QVERIFY(s.setup().isVisible());
    QCOMPARE(s.chat().ScreenMsg->Text(), transcript);
    // The fields are as the user left them.
    QCOMPARE(s.setup().RemIP->text(), from == QLatin1String("listening") ? QStringLiteral("10.1.2.3") : QStringLiteral("127.0.0.1"));
    QCOMPARE(s.setup().PortNum->text(), QString::number(s.port));
    QCOMPARE(s.setup().UserName->text(), QStringLiteral("Ann"));
    QVERIFY(s.setup().Option1->isChecked());

    if (from == QLatin1String("connected"))
        QTRY_COMPARE(peerGone.count(), 1);
    // Nobody is accepted any more.
    QTcpSocket late;
    QSignalSpy refused(&late, &QAbstractSocket::errorOccurred);
    late.connectToHost(QHostAddress::LocalHost, s.port);
    QTRY_COMPARE(refused.count(), 1);
    QCOMPARE(late.error(), QAbstractSocket::ConnectionRefusedError);
    QCOMPARE(s.program.boxes.size(), 0);
}

void TstCommands::changedUserNameAppliesFromTheNextLine_data()
{
    QTest::addColumn<bool>("viaReconnect");
    QTest::newRow("changed while connected") << false;
    QTest::newRow("changed after Reconnect") << true;
}

void TstCommands::changedUserNameAppliesFromTheNextLine()
{
    QFETCH(bool, viaReconnect);
    ServerWithPeer s;
    startServerWithPeer(s);
    if (QTest::currentTestFailed())
        return;
    say(s.chat(), QStringLiteral("one"));
    QTRY_COMPARE(s.peer.bytesAvailable(), qint64(10));
    QCOMPARE(s.peer.readAll(), QByteArray("\r\nAnn: one"));
    QCOMPARE(s.chat().MyMsg->text(), QString());

    if (viaReconnect) {
        s.chat().mnuCR->trigger();
        s.peer.abort();
        s.setup().UserName->clear();
        typeText(s.setup().UserName, QStringLiteral("Zo\u00eb"));
        QTest::mouseClick(s.setup().Command1, Qt::LeftButton);
        s.peer.connectToHost(QHostAddress::LocalHost, s.port);
        QTRY_COMPARE(s.chat().Status->text(), QStringLiteral("Connected"));
        QCOMPARE(s.chat().Welcome->text(), QStringLiteral("Welcome Zo\u00eb"));
    } else {
        // The name is read from the setup window at every Send, never copied.
        s.setup().UserName->setText(QStringLiteral("Zo\u00eb"));
    }
    say(s.chat(), QStringLiteral("two"));
    const QByteArray expected = QStringLiteral("\r\nZo\u00eb: two").toUtf8();
    QTRY_COMPARE(s.peer.bytesAvailable(), qint64(expected.size()));
    QCOMPARE(s.peer.readAll(), expected);
    QVERIFY(s.chat().ScreenMsg->Text().endsWith(QStringLiteral("\r\nAnn: one\r\nZo\u00eb: two")));
}

void TstCommands::disconnectTwiceIsHarmless_data()
{
    QTest::addColumn<bool>("connected");
    QTest::newRow("while connected") << true;
    QTest::newRow("while listening") << false;
}

void TstCommands::disconnectTwiceIsHarmless()
{
    QFETCH(bool, connected);
    ServerWithPeer s;
    if (connected)
        startServerWithPeer(s);
    else
        connectFromSetup(*s.program, QStringLiteral("127.0.0.1"), s.port, QStringLiteral("Ann"), false);
    if (QTest::currentTestFailed())
        return;
    QSignalSpy peerGone(&s.peer, &QAbstractSocket::disconnected);
    for (int i = 0; i < 2; ++i) {
        s.chat().mnuCD->trigger();
        checkStatus(s.chat(), QStringLiteral("Disconnected"));
        QCOMPARE(s.chat().Winsock->State(), platform::SocketState::Closed);
        QVERIFY(s.chat().isVisible());
    }
    if (connected)
        QTRY_COMPARE(peerGone.count(), 1);
    QCOMPARE(s.chat().Caption(), Base + QStringLiteral(" as SERVER"));
    QCOMPARE(s.program.boxes.size(), 0);
    QCOMPARE(s.program.endCount, 0);
}

void TstCommands::peerSeesTheGoing_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("actorIsServer");
    for (const char *action : {"mnuCD", "mnuCR", "mnuCE", "close"}) {
        QTest::addRow("server %s", action) << QString::fromLatin1(action) << true;
        QTest::addRow("client %s", action) << QString::fromLatin1(action) << false;
    }
}

void TstCommands::peerSeesTheGoing()
{
    QFETCH(QString, action);
    QFETCH(bool, actorIsServer);
    TestProgram server, client;
    const quint16 port = freeLowPort();
    connectFromSetup(*server, QStringLiteral("127.0.0.1"), port, QStringLiteral("Ann"), false);
    connectFromSetup(*client, QStringLiteral("127.0.0.1"), port, QStringLiteral("Bob"), true);
    FormChat &serverChat = server->form<FormChat>();
    FormChat &clientChat = client->form<FormChat>();
    checkStatus(serverChat, QStringLiteral("Connected"));
    checkStatus(clientChat, QStringLiteral("Connected"));

    TestProgram &actor = actorIsServer ? server : client;
    TestProgram &other = actorIsServer ? client : server;
    FormChat &otherChat = actorIsServer ? clientChat : serverChat;
    act(actorIsServer ? serverChat : clientChat, action);
    checkStatus(otherChat, QStringLiteral("Disconnected"));
    const bool ends = action == QLatin1String("mnuCE") || action == QLatin1String("close");
    QCOMPARE(actor.endCount, ends ? 1 : 0);
    QCOMPARE(other.endCount, 0);
    QCOMPARE(actor.boxes.size(), 0);
    QCOMPARE(other.boxes.size(), 0);
}

void TstCommands::leavingWhileConnectingFreesTheServer_data()
{
    QTest::addColumn<QString>("action");
    for (const char *action : {"mnuCD", "mnuCR", "mnuCE"})
        QTest::newRow(action) << QString::fromLatin1(action);
}

void TstCommands::leavingWhileConnectingFreesTheServer()
{
    QFETCH(QString, action);
    TestProgram server, client;
    const quint16 port = freeLowPort();
    connectFromSetup(*server, QStringLiteral("127.0.0.1"), port, QStringLiteral("Ann"), false);
    connectFromSetup(*client, QStringLiteral("127.0.0.1"), port, QStringLiteral("Bob"), true);
    // Before the client has heard that its attempt went through.
    QCOMPARE(client->form<FormChat>().Status->text(), QStringLiteral("Connecting..."));
    act(client->form<FormChat>(), action);
    // The server may take the half-made connection, but must see it go at once.
    QTRY_COMPARE_WITH_TIMEOUT(server->form<FormChat>().Status->text(), QStringLiteral("Disconnected"), 2500);
    if (action != QLatin1String("mnuCE"))
        checkStatus(client->form<FormChat>(), QStringLiteral("Disconnected"));
    QCOMPARE(client.boxes.size(), 0);
    QCOMPARE(server.boxes.size(), 0);
}

void TstCommands::exitClosesTheSocketThenEnds_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("Exit") << "mnuCE";
    QTest::newRow("closing the window") << "close";
}

void TstCommands::exitClosesTheSocketThenEnds()
{
    QFETCH(QString, action);
    ServerWithPeer s;
    startServerWithPeer(s);
    if (QTest::currentTestFailed())
        return;
    QPointer<Winsock> winsock = s.chat().Winsock;
    int stateAtEnd = -1;
    connect(&*s.program, &platform::Program::ended, this, [&] { stateAtEnd = winsock ? int(winsock->State()) : -2; });
    QSignalSpy peerGone(&s.peer, &QAbstractSocket::disconnected);
    QPointer<FormChat> chat = &s.chat();

    act(s.chat(), action);
    QCOMPARE(s.program.endCount, 1);
    QCOMPARE(stateAtEnd, int(platform::SocketState::Closed));
    QTRY_COMPARE(peerGone.count(), 1);
    // The windows are gone, and this process goes on.
    QTRY_VERIFY(chat.isNull());
    QCOMPARE(s.program.endCount, 1);
    QCOMPARE(s.program.boxes.size(), 0);
}

void TstCommands::shortcutsWorkFromTheInputBox_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Ctrl+D disconnects") << int(Qt::Key_D);
    QTest::newRow("Ctrl+R reconnects") << int(Qt::Key_R);
}

void TstCommands::shortcutsWorkFromTheInputBox()
{
    QFETCH(int, key);
    ServerWithPeer s;
    startServerWithPeer(s);
    if (QTest::currentTestFailed())
        return;
    FormChat &chat = s.chat();
    chat.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&chat));
    chat.MyMsg->setFocus();
    QTRY_VERIFY(chat.MyMsg->hasFocus());
    QTest::keyClicks(chat.MyMsg, QStringLiteral("draft"));
    chat.MyMsg->setCursorPosition(0);

    QTest::keyClick(chat.MyMsg, Qt::Key(key), Qt::ControlModifier);
    checkStatus(chat, QStringLiteral("Disconnected"));
    QCOMPARE(chat.Winsock->State(), platform::SocketState::Closed);
    // The input box did not take the key for itself.
    QCOMPARE(chat.MyMsg->text(), QStringLiteral("draft"));
    QCOMPARE(chat.isVisible(), key == Qt::Key_D);
    QCOMPARE(s.setup().isVisible(), key == Qt::Key_R);
}

void TstCommands::helpAndAboutShowOneInstance()
{
    ServerWithPeer s;
    connectFromSetup(*s.program, QStringLiteral("127.0.0.1"), s.port, QStringLiteral("Ann"), false);
    FormChat &chat = s.chat();
    for (int i = 0; i < 2; ++i) {
        chat.mnuOH->trigger();
        chat.mnuOA->trigger();
        QVERIFY(s.program->form<FormHelp>().isVisible());
        QVERIFY(s.program->form<FormAbout>().isVisible());
        QCOMPARE(instancesOf<FormHelp>(*s.program), 1);
        QCOMPARE(instancesOf<FormAbout>(*s.program), 1);
    }
    // The conversation is not touched.
    QCOMPARE(chat.Status->text(), QStringLiteral("Listening..."));
    QVERIFY(chat.isVisible());
}

void TstCommands::twoCopiesChatThroughTheirControls()
{
    TestProgram ann, bob;
    FormChat &annChat = ann->form<FormChat>();
    FormChat &bobChat = bob->form<FormChat>();
    QString annText = Greeting, bobText = Greeting;
    const auto exchange = [&](FormChat &from, QString &fromText, FormChat &to, QString &toText,
                              const QString &name, const QString &message) {
        say(from, message);
        fromText += QStringLiteral("\r\n") + name + QStringLiteral(": ") + message;
        toText += QStringLiteral("\r\n\r\n") + name + QStringLiteral(": ") + message;
        QCOMPARE(from.ScreenMsg->Text(), fromText);
        QCOMPARE(from.MyMsg->text(), QString());
        QTRY_COMPARE(to.ScreenMsg->Text(), toText);
    };

    // Ann serves, Bob connects.
    quint16 port = freeLowPort();
    connectFromSetup(*ann, QStringLiteral("127.0.0.1"), port, QStringLiteral("Ann"), false);
    checkStatus(annChat, QStringLiteral("Listening..."));
    connectFromSetup(*bob, QStringLiteral("127.0.0.1"), port, QStringLiteral("Bob"), true);
    QCOMPARE(bobChat.Status->text(), QStringLiteral("Connecting..."));
    checkStatus(annChat, QStringLiteral("Connected"));
    checkStatus(bobChat, QStringLiteral("Connected"));
    QCOMPARE(annChat.Caption(), Base + QStringLiteral(" as SERVER"));
    QCOMPARE(bobChat.Caption(), Base + QStringLiteral(" as CLIENT"));

    exchange(bobChat, bobText, annChat, annText, QStringLiteral("Bob"), QStringLiteral("hi"));
    QCOMPARE(annChat.ScreenMsg->Text(), QStringLiteral("Welcome To Chat!\r\n\r\n\r\nBob: hi"));
    exchange(annChat, annText, bobChat, bobText, QStringLiteral("Ann"), QStringLiteral("gr\u00fc\u00df dich \u2713"));

    // Bob disconnects; both show it.
    bobChat.mnuCD->trigger();
    checkStatus(bobChat, QStringLiteral("Disconnected"));
    checkStatus(annChat, QStringLiteral("Disconnected"));

    // Both go back to setup and swap roles.
    annChat.mnuCR->trigger();
    bobChat.mnuCR->trigger();
    QVERIFY(ann->form<FormSetup>().isVisible() && bob->form<FormSetup>().isVisible());
    port = freeLowPort();
    connectFromSetup(*bob, QStringLiteral("127.0.0.1"), port, QStringLiteral("Bob"), false);
    checkStatus(bobChat, QStringLiteral("Listening..."));
    connectFromSetup(*ann, QStringLiteral("127.0.0.1"), port, QStringLiteral("Ann"), true);
    checkStatus(annChat, QStringLiteral("Connected"));
    checkStatus(bobChat, QStringLiteral("Connected"));
    QCOMPARE(bobChat.Caption(), Base + QStringLiteral(" as SERVER"));
    QCOMPARE(annChat.Caption(), Base + QStringLiteral(" as CLIENT"));

    exchange(annChat, annText, bobChat, bobText, QStringLiteral("Ann"), QStringLiteral("again"));
    exchange(bobChat, bobText, annChat, annText, QStringLiteral("Bob"), QStringLiteral("bye"));

    // Ann exits; Bob is left disconnected.
    annChat.mnuCE->trigger();
    QCOMPARE(ann.endCount, 1);
    checkStatus(bobChat, QStringLiteral("Disconnected"));
    QCOMPARE(bobChat.ScreenMsg->Text(), bobText);
    QCOMPARE(bob.endCount, 0);
    QCOMPARE(ann.boxes.size(), 0);
    QCOMPARE(bob.boxes.size(), 0);
}

QTEST_MAIN(TstCommands)
#include "tst_commands.moc"
