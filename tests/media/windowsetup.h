#pragma once

#include <QStringList>

class QTemporaryDir;

// What a media test does before it builds a Widget: Phonon's GStreamer backend, an application folder
// of its own, and message boxes answered at once (their texts collected in messages when given).
bool prepareWindowTests(const QTemporaryDir &appDir, QStringList *messages = nullptr);
