#pragma once

#include <QString>
#include <QtGlobal>

// The sizes in a WAV file's header. ffmpeg writes them when it finishes a file; one killed, or out of
// disk space, leaves placeholders (0xFFFFFFFF) that make players stop early or refuse the file.
namespace WavHeader {

// Sets the RIFF and "data" chunk sizes to what the file holds, in whole sample frames. Returns the
// audio bytes kept, or -1 when the file cannot be read or is no RIFF/WAVE file with a data chunk.
qint64 repair(const QString &path);

} // namespace WavHeader
