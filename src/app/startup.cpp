#include "app/startup.h"

#include "access/accessiblefactory.h"
#include "chat/errortext.h"
#include "program/program.h"
#include "system/fonts.h"

namespace app {

void prepareApplication()
{
    platform::installFontSubstitutes();
    platform::installAccessibleFactory();
}

void prepareProgram(platform::Program &program)
{
    program.setErrorWording(&ErrorText::words);
}

} // namespace app
