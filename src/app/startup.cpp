#include "app/startup.h"

#include "access/accessiblefactory.h"
#include "access/bridgemessages.h"
#include "chat/errortext.h"
#include "program/program.h"
#include "system/fonts.h"

#include <QApplication>

namespace app {

void prepareApplication()
{
    platform::installFontSubstitutes();
    platform::installAccessibleFactory();
    platform::installBridgeMessageFilter();
    // The program ends through End alone, once what was sent has been
    // delivered; closing its last window only starts that.
    QApplication::setQuitOnLastWindowClosed(false);
}

void prepareProgram(platform::Program &program)
{
    program.setErrorWording(&ErrorText::words);
}

} // namespace app
