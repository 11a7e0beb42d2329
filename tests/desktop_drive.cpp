// The program as main.cpp starts it, driven from inside through its controls:
// for a desktop where no outside tool can send input (a Wayland compositor).
// It connects as client to a loopback peer, receives a line, sends one, and
// chooses Exit; the exit status is the program's own (0), or 1 with a message
// when a step fails or the whole run takes over 30 seconds.
// Run by scripts/check-desktop.sh.

#include "chat/formchat.h"
#include "app/startup.h"
#include "program/program.h"
#include "system/fonts.h"
#include "transcript/transcriptbox.h"
#include "system/windowsystem.h"
#include "setup/formsetup.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <functional>

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "desktop_drive: FAIL: %s (platform %s)\n", what,
                 qPrintable(QGuiApplication::platformName()));
    std::fflush(stderr);
    std::_Exit(1);
}

void expect(bool condition, const char *what)
{
    if (!condition)
        fail(what);
    std::printf("  ok  %s\n", what);
    std::fflush(stdout);
}

// Bounded waits only: a step that does not happen fails at its deadline.
void waitFor(const std::function<bool()> &done, const char *what)
{
    QDeadlineTimer deadline(10000);
    while (!done()) {
        if (deadline.hasExpired())
            fail(what);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

// The port field takes 1 to 9999, so the peer probes that range.
quint16 listenInRange(QTcpServer &server)
{
    const quint16 start = quint16(2000 + QCoreApplication::applicationPid() % 7000);
    for (quint16 port = start; port != start - 1; port = port >= 9999 ? 1024 : port + 1) {
        if (server.listen(QHostAddress::LocalHost, port))
            return port;
    }
    fail("no free port from 1024 to 9999");
}

void drive(platform::Program &program)
{
    // The window system the program picked for itself (ZAQ_EXPECT_PLATFORM).
    expect(QGuiApplication::platformName() == QLatin1String(qgetenv("ZAQ_EXPECT_PLATFORM")),
           "runs on the window system expected");
    FormSetup &setup = program.form<FormSetup>();
    expect(QTest::qWaitForWindowExposed(&setup, 10000), "the compositor shows the setup window");

    // Connect with the address and name empty: two boxes, each a dialog of
    // the setup window (its transient parent, which the compositor is told).
    int boxes = 0, owned = 0;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->windowHandle() || !box->windowHandle()->isExposed())
            return;
        ++boxes;
        owned += box->windowHandle()->transientParent() == setup.windowHandle() ? 1 : 0;
        box->button(QMessageBox::Ok)->click();
    });
    closer.start(20);
    QTest::mouseClick(setup.Command1, Qt::LeftButton); // returns when the last box is closed
    closer.stop();
    expect(boxes == 2 && owned == 2, "the compositor shows each box as a dialog of the setup window");

    QTcpServer peer;
    const quint16 port = listenInRange(peer);
    // Text goes in as the fields' text, not as key events: a compositor
    // without a seat (the headless one) has no keyboard for Qt to consult.
    QTest::mouseClick(setup.Option2, Qt::LeftButton);
    setup.RemIP->setText(QStringLiteral("127.0.0.1"));
    setup.PortNum->setText(QString::number(port));
    setup.UserName->setText(QStringLiteral("Ann"));
    QTest::mouseClick(setup.Command1, Qt::LeftButton);

    waitFor([&] { return peer.hasPendingConnections(); }, "the program connects to the peer");
    QTcpSocket *socket = peer.nextPendingConnection();
    FormChat &chat = program.form<FormChat>();
    expect(QTest::qWaitForWindowExposed(&chat, 10000), "the compositor shows the chat window");
    waitFor([&] { return chat.Status->text() == u"Connected"; }, "the chat window says Connected");

    socket->write("\r\nBob: hello from the peer");
    waitFor([&] { return chat.ScreenMsg->Text().endsWith(u"\r\nBob: hello from the peer"); },
            "the peer's line shows in the transcript");

    chat.MyMsg->setText(QStringLiteral("hi Bob"));
    QTest::mouseClick(chat.Command1, Qt::LeftButton);
    const QByteArray line = "\r\nAnn: hi Bob";
    QByteArray received;
    waitFor([&] { received += socket->readAll(); return received.size() >= line.size(); },
            "the peer receives the line");
    expect(received == line, "the peer receives exactly the chat line");

    // Exit from the menu: Chat opened with the mouse in the menu bar, Exit
    // chosen by its underlined letter (Qt 6.8 takes no synthesized click
    // into a menu that is open; a key works on every version).
    QMenuBar *bar = chat.findChild<QMenuBar *>();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(chat.mnuChat->menuAction()).center());
    waitFor([&] { return QTest::qWaitForWindowExposed(chat.mnuChat, 100); }, "the Chat menu opens");
    QTest::keyClick(chat.mnuChat, Qt::Key_E);
    waitFor([&] { return program.hasEnded(); }, "Exit ends the program");
}

} // namespace

int main(int argc, char *argv[])
{
    platform::choosePreferredWindowSystem();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZAQ CHAT Version 1.0"));
    app::prepareApplication();

    platform::Program program;
    app::prepareProgram(program);
    program.setEndAction([] { QCoreApplication::exit(0); });
    program.run([&program] { program.form<FormSetup>().Show(); });
    QTimer::singleShot(0, &app, [&program] { drive(program); });
    QTimer::singleShot(30000, &app, [] { fail("the run took over 30 seconds"); });
    return QApplication::exec();
}
