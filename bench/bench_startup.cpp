// Start-up: from starting the process to the setup window painted on the
// screen, against a bare Qt widget window of the same size started the same
// way, and (to tell the fonts' share) the bare window with one label. Both run this same executable (the same libraries to load), each in a
// fresh process, in interleaved rounds. The program's start is main.cpp's.
//
// Usage: bench_startup [--rounds N]   (on an X server such as Xvfb, or offscreen)
#include "system/fonts.h"
#include "app/startup.h"
#include "program/program.h"
#include "setup/formsetup.h"
#include "support/goals.h"
#include "support/rounds.h"
#include "version.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

namespace {

// Reports once the window has been painted, then ends the process.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(QWidget *window) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            // After this paint and its flush to the screen.
            QTimer::singleShot(0, [] {
                std::fputs("shown\n", stdout);
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    bool seen_ = false;
};

// A bare window, or with `text` one label: what any window that shows text
// pays on top (the font database read, one font loaded).
int bareWindow(QApplication &app, const QString &text = {})
{
    QWidget window;
    if (!text.isEmpty())
        new QLabel(text, &window);
    // The setup window's client size.
    window.resize(5565 / 15, 3975 / 15);
    window.setWindowTitle(QStringLiteral("bare"));
    FirstPaint watcher(&window);
    window.show();
    return app.exec();
}

// What main.cpp does, up to the setup window shown.
int program(QApplication &app)
{
    QApplication::setApplicationName(QStringLiteral(ZAQ_PRODUCT_NAME));
    QApplication::setApplicationVersion(QStringLiteral(ZAQ_FILE_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zaqchat.ZAQCHAT"));
    app::prepareApplication();
    platform::Program program;
    app::prepareProgram(program);
    program.setEndAction([] { QCoreApplication::exit(0); });
    std::unique_ptr<FirstPaint> watcher;
    program.run([&] {
        FormSetup &setup = program.form<FormSetup>();
        watcher = std::make_unique<FirstPaint>(&setup);
        setup.Show();
    });
    return app.exec();
}

// Milliseconds from starting a child until it says its window is shown.
Figures timeChild(const QString &name)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), name});
    QByteArray said;
    while (!said.contains('\n') && child.waitForReadyRead(30000))
        said += child.readAllStandardOutput();
    const double ms = clock.nsecsElapsed() / 1e6;
    child.waitForFinished(30000);
    if (!said.startsWith("shown") || child.exitCode() != 0)
        qFatal("the %s window did not show (%s)", qPrintable(name), said.constData());
    return {{QStringLiteral("ms"), ms}};
}

} // namespace

int main(int argc, char **argv)
{
    const QStringList args = [&] {
        QStringList list;
        for (int i = 0; i < argc; ++i)
            list.append(QString::fromLocal8Bit(argv[i]));
        return list;
    }();
    if (const QString name = childCase(args); !name.isEmpty()) {
        QApplication app(argc, argv);
        if (name == QLatin1String("label"))
            return bareWindow(app, QStringLiteral("Welcome To ZAQ Chat !!!"));
        return name == QLatin1String("bare") ? bareWindow(app) : program(app);
    }

    QCoreApplication app(argc, argv);
    Rounds rounds(args);
    // Start-ups are short: more of them.
    if (!args.contains(QStringLiteral("--rounds")))
        rounds = Rounds(args + QStringList{QStringLiteral("--rounds"), QStringLiteral("15")});
    rounds.run({{QStringLiteral("bare"), [] { return timeChild(QStringLiteral("bare")); }},
                {QStringLiteral("label"), [] { return timeChild(QStringLiteral("label")); }},
                {QStringLiteral("program"), [] { return timeChild(QStringLiteral("program")); }}});

    QTextStream out(stdout);
    const QString ms = QStringLiteral("ms");
    out << QStringLiteral("Start-up to the window painted, platform %1; median of %2 rounds (lowest-highest), ms\n")
               .arg(qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("default"))).arg(rounds.count());
    out << QStringLiteral("%1 %2\n").arg(QStringLiteral("bare Qt widget window (baseline)"), -34)
               .arg(showSpread(rounds.spread(QStringLiteral("bare"), ms), 1), 22);
    out << QStringLiteral("%1 %2\n").arg(QStringLiteral("bare window with one label"), -34)
               .arg(showSpread(rounds.spread(QStringLiteral("label"), ms), 1), 22);
    out << QStringLiteral("%1 %2\n").arg(QStringLiteral("setup window"), -34)
               .arg(showSpread(rounds.spread(QStringLiteral("program"), ms), 1), 22);
    const Spread ratio = rounds.ratio(QStringLiteral("program"), ms, QStringLiteral("bare"), ms);
    out << QStringLiteral("setup window / bare window: %1\n").arg(showSpread(ratio, 2));
    out << QStringLiteral("setup window / bare window with one label: %1\n")
               .arg(showSpread(rounds.ratio(QStringLiteral("program"), ms, QStringLiteral("label"), ms), 2));
    Goals goals(out);
    goals.atMost(QStringLiteral("start-up, setup window / bare window"), ratio.median, 1.3, QStringLiteral("x"));
    return goals.exitCode();
}
