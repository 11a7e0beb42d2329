#include "setup/formsetup.h"

#include "app/startup.h"
#include "program/program.h"
#include "system/windowsystem.h"
#include "version.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    platform::choosePreferredWindowSystem();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral(ZAQ_PRODUCT_NAME));
    QApplication::setApplicationVersion(QStringLiteral(ZAQ_FILE_VERSION));
    // Lets the desktop match the windows to the desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zaqchat.ZAQCHAT"));
    app::prepareApplication();

    platform::Program program;
    app::prepareProgram(program);
    program.setEndAction([] { QCoreApplication::exit(0); });
    program.run([&program] { program.form<FormSetup>().Show(); });
    return QApplication::exec();
}
