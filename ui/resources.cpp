#include "ui/resources.h"

#include <QtGlobal>

static void registerImages()
{
    Q_INIT_RESOURCE(images);
}

void ensureImageResources()
{
    static const bool registered = (registerImages(), true);
    Q_UNUSED(registered);
}
