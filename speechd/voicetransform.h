#pragma once

#include <cstddef>
#include <string>

// A speaker adaptation of the en-us acoustic model: the MLLR transform sphinxtrain's mllr_solve writes
// (one regression class over the model's three feature streams of 13: for each, its length, a 13 x 13
// matrix, a shift and a variance scale). The program checks what it stores and the service what it is
// sent, so a decoder never reads anything else.
namespace VoiceTransform {

constexpr size_t maximumBytes = 32 * 1024; // the tool writes about 8 KB
constexpr int streams = 3;
constexpr int streamLength = 13;

// True when text is exactly such a transform: the counts above, then finite numbers (variance scales
// above 0, every value within +-1000), white space between, nothing else. *problem says what is wrong.
bool isWellFormed(const std::string &text, std::string *problem = nullptr);

} // namespace VoiceTransform
