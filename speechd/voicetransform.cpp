#include "speechd/voicetransform.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace VoiceTransform {

namespace {

bool fail(std::string *problem, const char *what)
{
    if (problem)
        *problem = what;
    return false;
}

} // namespace

bool isWellFormed(const std::string &text, std::string *problem)
{
    if (text.size() > maximumBytes)
        return fail(problem, "too large");
    std::vector<double> numbers;
    size_t at = 0;
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (at < text.size()) {
        while (at < text.size() && space(text[at]))
            ++at;
        if (at == text.size())
            break;
        size_t end = at;
        while (end < text.size() && !space(text[end]))
            ++end;
        const std::string token = text.substr(at, end - at);
        char *stop = nullptr;
        errno = 0;
        const double value = std::strtod(token.c_str(), &stop);
        if (stop != token.c_str() + token.size() || errno == ERANGE || !std::isfinite(value))
            return fail(problem, "not a number");
        numbers.push_back(value);
        at = end;
    }
    const size_t perStream = 1 + streamLength * streamLength + 2 * streamLength;
    if (numbers.size() != 2 + streams * perStream)
        return fail(problem, "wrong number of values");
    if (numbers[0] != 1 || numbers[1] != streams)
        return fail(problem, "not one class over three streams");
    for (int s = 0; s < streams; ++s) {
        const size_t first = 2 + size_t(s) * perStream;
        if (numbers[first] != streamLength)
            return fail(problem, "wrong stream length");
        for (size_t i = first + 1; i < first + perStream; ++i) {
            if (std::fabs(numbers[i]) > 1000)
                return fail(problem, "value out of range");
            if (i >= first + perStream - streamLength && numbers[i] <= 0)
                return fail(problem, "variance scale not above 0");
        }
    }
    return true;
}

} // namespace VoiceTransform
