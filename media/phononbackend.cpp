#include "media/phononbackend.h"

#include <QByteArray>
#include <QtGlobal>

void selectPhononBackend()
{
#ifndef Q_OS_WIN
    // Other backends report the end of short media early now and then; Phonon only honours the
    // plugin's file name here.
    qputenv("PHONON_BACKEND", QByteArrayLiteral("phonon_gstreamer"));
#endif
}
