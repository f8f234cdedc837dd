#pragma once

#include <QString>

// The ffmpeg every caller runs (recording, transcoding, probing, cutting): an "ffmpeg" beside the
// program first, then the one on PATH; empty when there is none.
QString ffmpegProgram(const QString &appDir);
