#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace speechd {

const int requiredSampleRate = 16000;

// The samples of a RIFF/WAVE file holding 16 kHz mono 16-bit PCM; false for anything else. Chunks are
// walked rather than assuming a 44-byte header (ffmpeg adds a LIST chunk), and a data size of 0 or
// 0xFFFFFFFF, as streaming writers leave it, means "to the end of the file".
bool readPcm16kMono(const char *data, size_t size, std::vector<int16_t> &samples);

} // namespace speechd
