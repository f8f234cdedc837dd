#include "speechd/wavaudio.h"

#include <cstring>

namespace speechd {

namespace {

uint32_t le32(const unsigned char *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t le16(const unsigned char *p)
{
    return uint16_t(p[0] | p[1] << 8);
}

const uint16_t formatPcm = 1;
const uint16_t formatExtensible = 0xFFFE;

bool acceptableFormat(const unsigned char *fmt, uint32_t size)
{
    if (size < 16)
        return false;
    uint16_t format = le16(fmt);
    if (format == formatExtensible) {
        // The sub-format GUID starts with the plain format code.
        if (size < 40)
            return false;
        format = le16(fmt + 24);
    }
    return format == formatPcm && le16(fmt + 2) == 1 && le32(fmt + 4) == uint32_t(requiredSampleRate)
        && le16(fmt + 12) == 2 && le16(fmt + 14) == 16;
}

} // namespace

bool readPcm16kMono(const char *data, size_t size, std::vector<int16_t> &samples)
{
    samples.clear();
    const auto *bytes = reinterpret_cast<const unsigned char *>(data);
    if (size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return false;

    bool haveFormat = false;
    size_t pos = 12;
    while (size - pos >= 8) {
        const unsigned char *chunk = bytes + pos;
        const uint32_t declared = le32(chunk + 4);
        const size_t available = size - pos - 8;
        if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat)
                return false;
            size_t length = declared;
            if (declared == 0 || declared == 0xFFFFFFFFu || length > available)
                length = available;
            const size_t count = length / 2;
            samples.resize(count);
            const unsigned char *pcm = chunk + 8;
            for (size_t i = 0; i < count; ++i)
                samples[i] = int16_t(le16(pcm + 2 * i));
            return true;
        }
        if (declared > available)
            return false;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (!acceptableFormat(chunk + 8, declared))
                return false;
            haveFormat = true;
        }
        // Chunks are word-aligned: an odd size is followed by one padding byte.
        pos += 8 + size_t(declared) + (declared & 1u);
        if (pos > size)
            return false;
    }
    return false;
}

} // namespace speechd
