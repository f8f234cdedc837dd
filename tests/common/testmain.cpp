#include "common/testmain.h"

namespace TestMain {

void useHeadlessDefault()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace TestMain
