// The whole conversation from the keyboard: the tab orders of the setup and
// chat windows, the option buttons by arrow keys, Connect and Send by Space,
// and the menus by Alt and their access keys.

#include "support/testing.h"

#include "chat/formchat.h"
#include "info/formabout.h"
#include "info/formhelp.h"
#include "transcript/transcriptbox.h"
#include "connection/winsock.h"
#include "setup/formsetup.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

namespace {

QString focusName()
{
    const QWidget *focus = QApplication::focusWidget();
    return focus ? focus->objectName() : QStringLiteral("(none)");
}

// Presses Tab (or Shift+Tab) on the focused control and names where the focus went.
QString tab(bool back = false)
{
    QWidget *focus = QApplication::focusWidget();
    if (!focus)
        return QStringLiteral("(none)");
    if (back)
        QTest::keyClick(focus, Qt::Key_Backtab, Qt::ShiftModifier);
    else
        QTest::keyClick(focus, Qt::Key_Tab);
    return focusName();
}

// Shows the setup window and connects as a user at the keyboard does: the
// option by arrow keys, the fields by typing, Connect by Space.
void connectByKeyboard(platform::Program &program, bool client, quint16 port, const QString &name)
{
    FormSetup &setup = program.form<FormSetup>();
    setup.Show();
    activate(setup);
    QTRY_COMPARE(focusName(), QStringLiteral("Option1"));
    if (client) {
        QTest::keyClick(setup.Option1, Qt::Key_Down);
        QVERIFY(setup.Option2->isChecked());
        QCOMPARE(focusName(), QStringLiteral("Option2"));
    }
    const QList<std::pair<QString, QString>> fields = {
        {QStringLiteral("RemIP"), QStringLiteral("127.0.0.1")},
        {QStringLiteral("PortNum"), QString::number(port)},
        {QStringLiteral("UserName"), name}};
    for (const auto &[field, text] : fields) {
        QCOMPARE(tab(), field);
        // Tabbing into a field selects its text, so typing replaces it.
        QTest::keyClicks(QApplication::focusWidget(), text);
    }
    QCOMPARE(setup.PortNum->text(), QString::number(port));
    QCOMPARE(tab(), QStringLiteral("Command1"));
    QTest::keyClick(setup.Command1, Qt::Key_Space);
}

// A server and a client, both set up from the keyboard, connected.
struct Conversation
{
    TestProgram server;
    TestProgram client;

    FormChat &serverChat() { return server->form<FormChat>(); }
    FormChat &clientChat() { return client->form<FormChat>(); }

    void start()
    {
        const quint16 port = freeLowPort();
        connectByKeyboard(*server, false, port, QStringLiteral("Bob"));
        QCOMPARE(serverChat().Status->text(), QStringLiteral("Listening..."));
        connectByKeyboard(*client, true, port, QStringLiteral("Ann"));
        QTRY_COMPARE(clientChat().Status->text(), QStringLiteral("Connected"));
        QTRY_COMPARE(serverChat().Status->text(), QStringLiteral("Connected"));
    }
};

// Where the focus lands on each of `count` presses of Tab (or Shift+Tab).
QStringList tabs(qsizetype count, bool back = false)
{
    QStringList went;
    for (qsizetype i = 0; i < count; ++i)
        went << tab(back);
    return went;
}

} // namespace

class TstKeyboard : public QObject
{
    Q_OBJECT

private slots:
    void setupTabOrder_data();
    void setupTabOrder();
    void chatTabOrder_data();
    void chatTabOrder();
    void conversationFromTheKeyboard();
    void menusByAccessKeys_data();
    void menusByAccessKeys();
};

void TstKeyboard::setupTabOrder_data()
{
    QTest::addColumn<bool>("client");
    QTest::addColumn<QStringList>("forward");
    QTest::addColumn<QStringList>("backward");
    // The two option buttons are one tab stop: the one that is selected.
    QTest::newRow("Server selected")
        << false << QStringList{"RemIP", "PortNum", "UserName", "Command1", "Option1", "RemIP"}
        << QStringList{"Option1", "Command1", "UserName", "PortNum", "RemIP", "Option1"};
    QTest::newRow("Client selected")
        << true << QStringList{"RemIP", "PortNum", "UserName", "Command1", "Option2", "RemIP"}
        << QStringList{"Option2", "Command1", "UserName", "PortNum", "RemIP", "Option2"};
}

void TstKeyboard::setupTabOrder()
{
    QFETCH(bool, client);
    QFETCH(QStringList, forward);
    QFETCH(QStringList, backward);
    TestProgram program;
    FormSetup &setup = program->form<FormSetup>();
    setup.Show();
    activate(setup);
    QTRY_COMPARE(focusName(), QStringLiteral("Option1"));
    if (client) {
        QTest::keyClick(setup.Option1, Qt::Key_Down);
        QCOMPARE(focusName(), QStringLiteral("Option2"));
        QVERIFY(setup.Option2->isChecked());
        QVERIFY(!setup.Option1->isChecked());
        // And back up again, then down once more: the arrows move the choice.
        QTest::keyClick(setup.Option2, Qt::Key_Up);
        QVERIFY(setup.Option1->isChecked());
        QTest::keyClick(setup.Option1, Qt::Key_Down);
        QVERIFY(setup.Option2->isChecked());
    }
    QCOMPARE(tabs(forward.size()), forward);
    QCOMPARE(tabs(backward.size(), true), backward);
}

void TstKeyboard::chatTabOrder_data()
{
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QStringList>("forward");
    QTest::addColumn<QStringList>("backward");
    // The transcript passes the focus on to the input box at once, and
    // Shift+Tab goes back past it to Send.
    QTest::newRow("connected: Send takes the focus")
        << true << QStringList{"Command1", "MyMsg", "Command1", "MyMsg"} << QStringList{"Command1", "MyMsg"};
    QTest::newRow("disconnected: Send is disabled")
        << false << QStringList{"MyMsg", "MyMsg"} << QStringList{"MyMsg"};
}

void TstKeyboard::chatTabOrder()
{
    QFETCH(bool, connected);
    QFETCH(QStringList, forward);
    QFETCH(QStringList, backward);
    Conversation c;
    c.start();
    if (QTest::currentTestFailed())
        return;
    FormChat &chat = c.clientChat();
    if (!connected)
        chat.mnuCD->trigger();
    QCOMPARE(chat.Command1->isEnabled(), connected);
    activate(chat);
    // The window opens with the focus in the input box.
    QTRY_COMPARE(focusName(), QStringLiteral("MyMsg"));
    QCOMPARE(tabs(forward.size()), forward);
    QCOMPARE(tabs(backward.size(), true), backward);
}

void TstKeyboard::conversationFromTheKeyboard()
{
    Conversation c;
    c.start();
    if (QTest::currentTestFailed())
        return;
    FormChat &chat = c.clientChat();
    QVERIFY(chat.isVisible());
    QVERIFY(!c.client->form<FormSetup>().isVisible());
    activate(chat);
    QTRY_COMPARE(focusName(), QStringLiteral("MyMsg"));

    // Enter in the input box does not send.
    QTest::keyClicks(chat.MyMsg, QStringLiteral("hi"));
    QTest::keyClick(chat.MyMsg, Qt::Key_Return);
    QTest::keyClick(chat.MyMsg, Qt::Key_Enter);
    QCOMPARE(chat.MyMsg->text(), QStringLiteral("hi"));
    QCOMPARE(chat.ScreenMsg->Text(), Greeting);

    // Tab to Send, Space presses it, and the focus is back in the input box.
    QCOMPARE(tab(), QStringLiteral("Command1"));
    QTest::keyClick(chat.Command1, Qt::Key_Space);
    QCOMPARE(chat.ScreenMsg->Text(), Greeting + QStringLiteral("\r\nAnn: hi"));
    QTRY_COMPARE(c.serverChat().ScreenMsg->Text(), Greeting + QStringLiteral("\r\n\r\nAnn: hi"));
    QCOMPARE(chat.MyMsg->text(), QString());
    QCOMPARE(focusName(), QStringLiteral("MyMsg"));

    // A click on Send with the mouse leaves the focus in the input box as well.
    QTest::keyClicks(chat.MyMsg, QStringLiteral("again"));
    QTest::mouseClick(chat.Command1, Qt::LeftButton);
    QCOMPARE(chat.ScreenMsg->Text(), Greeting + QStringLiteral("\r\nAnn: hi\r\nAnn: again"));
    QCOMPARE(focusName(), QStringLiteral("MyMsg"));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("typed on"));
    QCOMPARE(chat.MyMsg->text(), QStringLiteral("typed on"));
}

void TstKeyboard::menusByAccessKeys_data()
{
    QTest::addColumn<bool>("inChat");
    QTest::addColumn<int>("menuKey");
    QTest::addColumn<int>("itemKey");
    QTest::addColumn<QString>("result");
    QTest::newRow("setup: Alt+C, H shows help") << false << int(Qt::Key_C) << int(Qt::Key_H) << "help";
    QTest::newRow("setup: Alt+C, E exits") << false << int(Qt::Key_C) << int(Qt::Key_E) << "end";
    QTest::newRow("chat: Alt+C, D disconnects") << true << int(Qt::Key_C) << int(Qt::Key_D) << "disconnected";
    QTest::newRow("chat: Alt+C, R reconnects") << true << int(Qt::Key_C) << int(Qt::Key_R) << "setup";
    QTest::newRow("chat: Alt+C, E exits") << true << int(Qt::Key_C) << int(Qt::Key_E) << "end";
    QTest::newRow("chat: Alt+O, H shows help") << true << int(Qt::Key_O) << int(Qt::Key_H) << "help";
    QTest::newRow("chat: Alt+O, A shows about") << true << int(Qt::Key_O) << int(Qt::Key_A) << "about";
}

void TstKeyboard::menusByAccessKeys()
{
    QFETCH(bool, inChat);
    QFETCH(int, menuKey);
    QFETCH(int, itemKey);
    QFETCH(QString, result);
    Conversation c;
    QWidget *window = &c.client->form<FormSetup>();
    if (inChat) {
        c.start();
        if (QTest::currentTestFailed())
            return;
        window = &c.clientChat();
    } else {
        c.client->form<FormSetup>().Show();
    }
    activate(*window);
    QTRY_VERIFY(QApplication::focusWidget());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key(menuKey), Qt::AltModifier);
    QTRY_VERIFY(qobject_cast<QMenu *>(QApplication::activePopupWidget()));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key(itemKey));
    QTRY_VERIFY(!QApplication::activePopupWidget());

    if (result == QLatin1String("end")) {
        QCOMPARE(c.client.endCount, 1);
        // The peer sees the conversation end.
        if (inChat)
            QTRY_COMPARE(c.serverChat().Status->text(), QStringLiteral("Disconnected"));
    } else if (result == QLatin1String("help")) {
        QTRY_VERIFY(c.client->form<FormHelp>().isVisible());
    } else if (result == QLatin1String("about")) {
        QTRY_VERIFY(c.client->form<FormAbout>().isVisible());
    } else if (result == QLatin1String("setup")) {
        QTRY_VERIFY(c.client->form<FormSetup>().isVisible());
        QVERIFY(!c.clientChat().isVisible());
    }
    if (inChat && result != QLatin1String("end")) {
        const bool stays = result == QLatin1String("help") || result == QLatin1String("about");
        QCOMPARE(c.clientChat().Status->text(), stays ? QStringLiteral("Connected") : QStringLiteral("Disconnected"));
        QCOMPARE(c.clientChat().Winsock->State() == platform::SocketState::Connected, stays);
    }
    QCOMPARE(c.client.boxes.size(), 0);
}

QTEST_MAIN(TstKeyboard)
#include "tst_keyboard.moc"
