// The chat window's connection status, its greeting, its size and where the
// keyboard focus goes.

#include "chat/formchat.h"
#include "transcript/transcriptbox.h"
#include "connection/winsock.h"
#include "setup/formsetup.h"
#include "support/testing.h"

#include <QLabel>
#include <QScreen>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using platform::Winsock;

namespace {

// The Send button is enabled exactly while the status says "Connected".
void checkSendFollowsStatus(FormChat &chat)
{
    QCOMPARE(chat.Command1->isEnabled(), chat.Status->text() == QLatin1String("Connected"));
}

} // namespace

class TstChatStatus : public QObject
{
    Q_OBJECT

private slots:
    void serverStatusFollowsItsPeer_data();
    void serverStatusFollowsItsPeer();
    void greetingIsWrittenOnce();
    void windowHasItsFixedSize();
    void framesAndRulesDrawWhole();
    void controlsCarryTheirTips();
    void textsReadOnADarkDesktop();
    void transcriptNeverKeepsTheFocus_data();
    void transcriptNeverKeepsTheFocus();
};

void TstChatStatus::serverStatusFollowsItsPeer_data()
{
    QTest::addColumn<bool>("abort");
    QTest::newRow("peer says goodbye") << false;
    QTest::newRow("peer aborts") << true;
}

void TstChatStatus::serverStatusFollowsItsPeer()
{
    QFETCH(bool, abort);
    TestProgram program;
    const quint16 port = freeLowPort();
    connectFromSetup(*program, QStringLiteral("127.0.0.1"), port, QStringLiteral("Ann"), false);
    FormChat &chat = program->form<FormChat>();
    QCOMPARE(chat.Status->text(), QStringLiteral("Listening..."));
    checkSendFollowsStatus(chat);

    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, port);
    QTRY_COMPARE(chat.Status->text(), QStringLiteral("Connected"));
    checkSendFollowsStatus(chat);
    QCOMPARE(chat.Winsock->State(), platform::SocketState::Connected);

    if (abort)
        peer.abort();
    else
        peer.disconnectFromHost();
    QTRY_COMPARE(chat.Status->text(), QStringLiteral("Disconnected"));
    checkSendFollowsStatus(chat);
    QCOMPARE(chat.Winsock->State(), platform::SocketState::Closed);

    // It does not listen again by itself.
    QTcpSocket next;
    QSignalSpy refused(&next, &QAbstractSocket::errorOccurred);
    next.connectToHost(QHostAddress::LocalHost, port);
    QTRY_COMPARE(refused.count(), 1);
    QCOMPARE(chat.Status->text(), QStringLiteral("Disconnected"));
    QCOMPARE(program.boxes.size(), 0);
}

void TstChatStatus::greetingIsWrittenOnce()
{
    TestProgram program;
    FormChat &chat = program->form<FormChat>();
    QCOMPARE(chat.ScreenMsg->Text(), Greeting);
    QCOMPARE(chat.Status->text(), QString());
    QVERIFY(!chat.Command1->isEnabled());

    // Two conversations on the same port, each bringing one line from the
    // peer. The first ends in half a character, which Reconnect drops: the
    // next conversation starts afresh.
    const quint16 port = freeLowPort();
    for (const QString &line : {QStringLiteral("first"), QStringLiteral("second")}) {
        connectFromSetup(*program, QStringLiteral("127.0.0.1"), port, QStringLiteral("Ann"), false);
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, port);
        QTRY_COMPARE(chat.Status->text(), QStringLiteral("Connected"));
        peer.write(line == QLatin1String("first") ? QByteArray("first\xC3") : line.toUtf8());
        QTRY_VERIFY(chat.ScreenMsg->Text().endsWith(line));
        chat.mnuCR->trigger();
        QVERIFY(!chat.isVisible());
    }
    QCOMPARE(chat.ScreenMsg->Text(), Greeting + QStringLiteral("\r\nfirst\r\nsecond"));
    QCOMPARE(program.boxes.size(), 0);
}

void TstChatStatus::windowHasItsFixedSize()
{
    TestProgram program;
    connectFromSetup(*program, QStringLiteral("127.0.0.1"), freeLowPort(), QStringLiteral("Ann"), false);
    FormChat &chat = program->form<FormChat>();
    QVERIFY(QTest::qWaitForWindowExposed(&chat));
    // 5355 x 4830 twips at 15 twips a pixel.
    QCOMPARE(chat.client()->size(), QSize(357, 322));
    QCOMPARE(chat.minimumSize(), chat.maximumSize());
    const QSize before = chat.size();
    chat.resize(before + QSize(100, 100));
    QCoreApplication::processEvents();
    QCOMPARE(chat.size(), before);
    QCOMPARE(chat.client()->size(), QSize(357, 322));
    QVERIFY(!(chat.windowFlags() & Qt::WindowMaximizeButtonHint));
    // The program's icon in every size a desktop asks for, up to 256 px,
    // once the window has been painted.
    QTRY_COMPARE(chat.windowIcon().availableSizes(),
             QList<QSize>({{16, 16}, {32, 32}, {48, 48}, {64, 64}, {128, 128}, {256, 256}}));
    // The window is grey; the transcript and the message box keep the
    // platform's text-box colours, on screen too.
    QCOMPARE(chat.client()->palette().color(QPalette::Window), QColor(192, 192, 192));
    for (QWidget *box : {static_cast<QWidget *>(chat.ScreenMsg), static_cast<QWidget *>(chat.MyMsg)}) {
        const QColor base = QApplication::palette(box).color(QPalette::Base);
        QVERIFY(base != QColor(192, 192, 192));
        QCOMPARE(box->palette().color(QPalette::Base), base);
        QCOMPARE(box->palette().color(QPalette::Text), QApplication::palette(box).color(QPalette::Text));
    }
    const QImage shown = chat.ScreenMsg->viewport()->grab().toImage();
    QCOMPARE(shown.pixelColor(shown.width() - 4, shown.height() - 4),
             QApplication::palette(chat.ScreenMsg).color(QPalette::Base));
    // Centred on the screen when first shown.
    const QRect screen = chat.screen()->availableGeometry();
    const QPoint offset = chat.frameGeometry().center() - screen.center();
    QVERIFY2(offset.manhattanLength() <= 4, qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
}

void TstChatStatus::framesAndRulesDrawWhole()
{
    // Run by the suite at scale 1 and again at 1.25 and 1.5 (QT_SCALE_FACTOR),
    // where a one-pixel line falls between device pixels or under a neighbour.
    TestProgram program;
    FormChat &chat = program->form<FormChat>();
    chat.Show();
    QVERIFY(QTest::qWaitForWindowExposed(&chat));
    const QImage shot = chat.grab().toImage();
    const qreal scale = shot.devicePixelRatio();
    const auto dark = [&](int x, int y) { return qGray(shot.pixel(x, y)) < 170; };
    // A device row (or column) near a logical edge that is dark all along.
    const auto ruled = [&](qreal at, int from, int to, bool row) {
        for (int line = qFloor(at * scale) - 2; line <= qCeil(at * scale) + 2; ++line) {
            bool whole = line >= 0;
            for (int i = from; whole && i < to; ++i)
                whole = row ? dark(i, line) : dark(line, i);
            if (whole)
                return true;
        }
        return false;
    };
    const QRect box(chat.ScreenMsg->mapTo(&chat, QPoint()), chat.ScreenMsg->size());
    const int left = qCeil((box.left() + 2) * scale), right = qFloor((box.left() + box.width() - 25) * scale);
    const int top = qCeil((box.top() + 2) * scale), bottom = qFloor((box.top() + box.height() - 25) * scale);
    QVERIFY2(ruled(box.top(), left, right, true), "transcript frame, top edge");
    QVERIFY2(ruled(box.top() + box.height() - 1, left, right, true), "transcript frame, bottom edge");
    QVERIFY2(ruled(box.left(), top, bottom, false), "transcript frame, left edge");
    QVERIFY2(ruled(box.left() + box.width() - 1, top, bottom, false), "transcript frame, right edge");
    // The rule under the menu bar, across the window.
    const int rule = chat.client()->mapTo(&chat, QPoint()).y();
    QVERIFY2(ruled(rule, qCeil(4 * scale), qFloor((chat.width() - 4) * scale), true), "rule under the menu bar");
}

void TstChatStatus::controlsCarryTheirTips()
{
    TestProgram program;
    FormChat &chat = program->form<FormChat>();
    QCOMPARE(chat.Caption(), QStringLiteral("ZAQ CHAT Chating"));
    QCOMPARE(chat.Command1->text(), QStringLiteral("Send"));
    const QList<std::pair<QWidget *, QString>> tips = {
        {chat.Command1, QStringLiteral("Press On This Key To Send Your Message")},
        {chat.Status, QStringLiteral("Current Status of Connection")},
        {chat.ScreenMsg, QStringLiteral("This is Chat Room")},
        {chat.MyMsg, QStringLiteral("Here Enter Your Message")},
    };
    for (const auto &[control, tip] : tips)
        QCOMPARE(control->toolTip(), tip);
    for (const char *name : {"Command1", "Status", "ScreenMsg", "MyMsg", "Welcome", "Winsock"})
        QVERIFY2(chat.findChild<QObject *>(QLatin1String(name)), name);
}

// A dark desktop's palette: fixed text colours keep their colour and read
// on the light surface they were chosen for; the desktop's light text on the
// chat window's fixed grey turns black (11.5:1 there, white 1.8:1).
void TstChatStatus::textsReadOnADarkDesktop()
{
    const QPalette light = QApplication::palette();
    for (const bool dark : {false, true}) {
        if (dark) {
            QPalette palette = light;
            palette.setColor(QPalette::Window, QColor(34, 32, 32));
            palette.setColor(QPalette::WindowText, QColor(220, 220, 220));
            QApplication::setPalette(palette);
        }
        TestProgram program;
        FormSetup &setup = program->form<FormSetup>();
        FormChat &chat = program->form<FormChat>();
        // Blue on the dark surface reads 1.9:1 (7.5:1 on the light one): it
        // stands on the light one. Magenta reads 5.2:1 on the dark: it stays.
        QCOMPARE(setup.Label1->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(setup.Label1->autoFillBackground(), dark);
        if (dark)
            QCOMPARE(setup.Label1->palette().color(QPalette::Window), QColor(239, 239, 239));
        QCOMPARE(setup.Label3->palette().color(QPalette::WindowText), QColor(255, 0, 255));
        QVERIFY(!setup.Label3->autoFillBackground());
        // The chat window's grey is fixed: its labels stand on it.
        QCOMPARE(chat.Welcome->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(!chat.Welcome->autoFillBackground());
        QVERIFY(!chat.Label1->autoFillBackground());
        QCOMPARE(chat.Status->palette().color(QPalette::WindowText),
                 dark ? QColor(0, 0, 0) : light.color(QPalette::WindowText));
    }
    QApplication::setPalette(light);
}

void TstChatStatus::transcriptNeverKeepsTheFocus_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("given the focus") << "setFocus";
    QTest::newRow("clicked") << "click";
    QTest::newRow("Tab from the input box") << "tab";
    QTest::newRow("Shift+Tab from the input box") << "backtab";
}

void TstChatStatus::transcriptNeverKeepsTheFocus()
{
    QFETCH(QString, how);
    TestProgram program;
    connectFromSetup(*program, QStringLiteral("127.0.0.1"), freeLowPort(), QStringLiteral("Ann"), false);
    FormChat &chat = program->form<FormChat>();
    activate(chat);
    if (QTest::currentTestFailed())
        return;
    // Typing starts in the input box.
    QTRY_COMPARE(QApplication::focusWidget(), chat.MyMsg);

    if (how == QLatin1String("setFocus"))
        chat.ScreenMsg->setFocus(Qt::OtherFocusReason);
    else if (how == QLatin1String("click"))
        QTest::mouseClick(chat.ScreenMsg->viewport(), Qt::LeftButton);
    else if (how == QLatin1String("tab"))
        QTest::keyClick(chat.MyMsg, Qt::Key_Tab);
    else
        QTest::keyClick(chat.MyMsg, Qt::Key_Backtab, Qt::ShiftModifier);
    QTRY_COMPARE(QApplication::focusWidget(), chat.MyMsg);
    QVERIFY(chat.MyMsg->hasFocus());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("typed"));
    QCOMPARE(chat.MyMsg->text(), QStringLiteral("typed"));
    QCOMPARE(chat.ScreenMsg->Text(), Greeting);
}

QTEST_MAIN(TstChatStatus)
#include "tst_chatstatus.moc"
