// Takes pictures of the four windows in a real conversation between two
// copies on this computer, for the README: each window as the screen shows
// it, with the title bar and borders of the window manager that frames it.
// Beside each picture, NAME.places tells where its labels and text boxes are.
// Usage: zaq_screenshots OUTDIR
//        zaq_screenshots --show    shows the setup and help windows for 20 s, for
//                                  a desktop whose pictures only the compositor
//                                  can take (Wayland)

#include "chat/formchat.h"
#include "app/startup.h"
#include "info/formabout.h"
#include "info/formhelp.h"
#include "system/fonts.h"
#include "program/program.h"
#include "transcript/transcriptbox.h"
#include "system/windowsystem.h"
#include "setup/formsetup.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QWindow>
#include <QTcpServer>
#include <QTimer>

#include <cstdio>

namespace {

bool waitFor(const std::function<bool()> &done, int ms = 10000)
{
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

quint16 freePort()
{
    for (quint16 port = 5001; port < 9999; ++port) {
        QTcpServer probe;
        if (probe.listen(QHostAddress::Any, port))
            return port;
    }
    return 0;
}

bool save(QWidget &window, const QDir &dir, const char *name)
{
    // On the screen, on top, framed by the window manager, painted and flushed.
    window.raise();
    window.activateWindow();
    waitFor([&] { return window.windowHandle() && window.windowHandle()->isExposed() && window.isActiveWindow(); });
    waitFor([&] { return window.frameGeometry() != window.geometry(); }, 2000);
    window.repaint();
    QDeadlineTimer settle(300);
    while (!settle.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const QRect frame = window.frameGeometry();
    const QPixmap shot = window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    const QString path = dir.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    bool ok = !shot.isNull() && shot.save(path);
    // Where each label and text box is in the picture, for the pixel checks.
    QFile places(dir.filePath(QString::fromLatin1(name) + QStringLiteral(".places")));
    ok = places.open(QIODevice::WriteOnly | QIODevice::Text) && ok;
    for (const QWidget *control : window.findChildren<QWidget *>()) {
        if (!control->isVisible() || !(qobject_cast<const QLabel *>(control) || qobject_cast<const QLineEdit *>(control))
            || control->objectName().isEmpty())
            continue;
        const QRect at(control->mapToGlobal(QPoint(0, 0)) - frame.topLeft(), control->size());
        places.write(QStringLiteral("%1 %2 %3 %4 %5\n").arg(control->objectName()).arg(at.x()).arg(at.y())
                         .arg(at.width()).arg(at.height()).toUtf8());
    }
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

void fill(FormSetup &setup, const QString &address, quint16 port, const QString &name, bool client)
{
    setup.RemIP->setText(address);
    setup.PortNum->setText(QString::number(port));
    setup.UserName->setText(name);
    (client ? setup.Option2 : setup.Option1)->setChecked(true);
}

void send(FormChat &chat, const QString &text)
{
    chat.MyMsg->setText(text);
    chat.Command1->click();
}

} // namespace

int main(int argc, char *argv[])
{
    platform::choosePreferredWindowSystem(); // as the program does
    QApplication app(argc, argv);
    app::prepareApplication();
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTDIR | --show\n", argv[0]);
        return 2;
    }
    if (QByteArray(argv[1]) == "--show") {
        platform::Program program;
        app::prepareProgram(program);
        FormSetup &setup = program.form<FormSetup>();
        setup.Show();
        fill(setup, QStringLiteral("127.0.0.1"), 5001, QStringLiteral("Ann"), false);
        setup.mnuH->trigger();
        QTimer::singleShot(20000, &app, &QCoreApplication::quit);
        return QApplication::exec();
    }
    QDir out(QString::fromLocal8Bit(argv[1]));
    out.mkpath(QStringLiteral("."));

    platform::Program ann, bob;
    app::prepareProgram(ann);
    app::prepareProgram(bob);
    const quint16 port = freePort();
    FormSetup &annSetup = ann.form<FormSetup>();
    FormSetup &bobSetup = bob.form<FormSetup>();
    annSetup.Show();
    fill(annSetup, QStringLiteral("127.0.0.1"), port, QStringLiteral("Ann"), false);
    bool ok = save(annSetup, out, "setup");

    annSetup.Command1->click();
    fill(bobSetup, QStringLiteral("127.0.0.1"), port, QStringLiteral("Bob"), true);
    bobSetup.Command1->click();
    FormChat &annChat = ann.form<FormChat>();
    FormChat &bobChat = bob.form<FormChat>();
    ok = waitFor([&] { return annChat.Status->text() == u"Connected" && bobChat.Status->text() == u"Connected"; }) && ok;
    send(bobChat, QStringLiteral("Hi Ann, are you there?"));
    ok = waitFor([&] { return annChat.ScreenMsg->Text().endsWith(u"there?"); }) && ok;
    send(annChat, QStringLiteral("Yes! Hello Bob."));
    ok = waitFor([&] { return bobChat.ScreenMsg->Text().endsWith(u"Bob."); }) && ok;
    annChat.MyMsg->setText(QStringLiteral("How are you?"));
    ok = save(annChat, out, "chat") && ok;

    annChat.mnuOH->trigger();
    ok = save(ann.form<FormHelp>(), out, "help") && ok;
    annChat.mnuOA->trigger();
    ok = save(ann.form<FormAbout>(), out, "about") && ok;
    return ok ? 0 : 1;
}
