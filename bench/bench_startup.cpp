// Start-up: from starting the process to the setup window painted on the
// screen, against a plain Qt window with the setup window's controls (the
// same widgets, texts, fonts and places, made with Qt alone) started the same
// way; a bare window, and a bare window with one label, tell what any window
// and any text cost. All run this same executable (the same libraries to
// load), each in a fresh process, in interleaved rounds. The program's start
// is main.cpp's.
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
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
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

// The setup window's controls as a plain Qt program would make them: pixels
// for twips, the fonts by name, no error boundary, accessibility or icon.
int plainSetup(QApplication &app)
{
    QWidget window;
    window.setWindowTitle(QStringLiteral("ZAQ CHAT -Setup-"));
    auto *layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *menus = new QMenuBar(&window);
    QMenu *chat = menus->addMenu(QStringLiteral("&Chat"));
    chat->addAction(QStringLiteral("&Help"));
    chat->addSeparator();
    chat->addAction(QStringLiteral("&Exit"));
    layout->setMenuBar(menus);
    auto *area = new QWidget;
    area->setFixedSize(4995 / 15, 3960 / 15);
    layout->addWidget(area);
    auto at = [](QWidget *w, int left, int top, int width, int height) {
        w->setGeometry(left / 15, top / 15, width / 15, height / 15);
        return w;
    };
    QFont times(QStringLiteral("Times New Roman"), 12);
    QFont timesBold = times;
    timesBold.setBold(true);
    QFont comic(QStringLiteral("Comic Sans MS"), 14);
    QFont comicBold = comic;
    comicBold.setBold(true);
    auto *frame = at(new QGroupBox(area), 240, 240, 1095, 855);
    static_cast<QRadioButton *>(at(new QRadioButton(QStringLiteral("Server"), frame), 120, 120, 855, 375))->setChecked(true);
    at(new QRadioButton(QStringLiteral("Client"), frame), 120, 420, 855, 375);
    const struct
    {
        const char *text;
        int left, top, width, height;
        QFont font;
    } labels[] = {{"Remote Computer IP:", 285, 1320, 2235, 285, timesBold},
                  {"Port Number:", 1110, 1800, 1395, 285, timesBold},
                  {"Your Name:", 1245, 2400, 1245, 285, timesBold},
                  {"Welcome To ZAQ Chat !!!", 1410, 360, 3555, 405, comicBold}};
    for (const auto &label : labels)
        at(new QLabel(QString::fromLatin1(label.text), area), label.left, label.top, label.width, label.height)
            ->setFont(label.font);
    for (int top : {1320, 1800, 2400})
        at(new QLineEdit(area), 2640, top, 2175, 375)->setFont(top == 2400 ? comicBold : times);
    at(new QPushButton(QStringLiteral("Connect"), area), 3000, 3120, 1575, 615)->setFont(comic);
    window.setFixedSize(window.sizeHint());
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
        if (name == QLatin1String("controls"))
            return plainSetup(app);
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
                {QStringLiteral("controls"), [] { return timeChild(QStringLiteral("controls")); }},
                {QStringLiteral("program"), [] { return timeChild(QStringLiteral("program")); }}});

    QTextStream out(stdout);
    const QString ms = QStringLiteral("ms");
    out << QStringLiteral("Start-up to the window painted, platform %1; median of %2 rounds (lowest-highest), ms\n")
               .arg(qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("default"))).arg(rounds.count());
    auto row = [&](const QString &what, const QString &name) {
        out << QStringLiteral("%1 %2\n").arg(what, -44).arg(showSpread(rounds.spread(name, ms), 1), 22);
    };
    row(QStringLiteral("bare Qt widget window"), QStringLiteral("bare"));
    row(QStringLiteral("bare window with one label"), QStringLiteral("label"));
    row(QStringLiteral("plain Qt window, same controls (baseline)"), QStringLiteral("controls"));
    row(QStringLiteral("setup window"), QStringLiteral("program"));
    const Spread ratio = rounds.ratio(QStringLiteral("program"), ms, QStringLiteral("controls"), ms);
    out << QStringLiteral("setup window / plain Qt window, same controls: %1\n").arg(showSpread(ratio, 2));
    out << QStringLiteral("setup window / bare window: %1\n")
               .arg(showSpread(rounds.ratio(QStringLiteral("program"), ms, QStringLiteral("bare"), ms), 2));
    Goals goals(out);
    goals.atMost(QStringLiteral("start-up, setup window / plain Qt window with the same controls"), ratio.median, 1.1,
                 QStringLiteral("x"));
    return goals.exitCode();
}
