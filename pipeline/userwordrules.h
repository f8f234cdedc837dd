#pragma once

#include <cstddef>

// The bounds and the phone set of a user's word list, shared by the client that sends it and the
// service that reads it.
namespace UserWordRules {

const size_t maxEntries = 1000;
const size_t maxTextCharacters = 64; // counted in Unicode code points
const size_t maxPhones = 64;

// The en-us acoustic model's phones (CMU phone set without stress).
const char *const phones[]
    = {"AA", "AE", "AH", "AO", "AW", "AY", "B", "CH", "D", "DH", "EH", "ER", "EY", "F", "G", "HH", "IH", "IY", "JH",
        "K", "L", "M", "N", "NG", "OW", "OY", "P", "R", "S", "SH", "T", "TH", "UH", "UW", "V", "W", "Y", "Z", "ZH"};

} // namespace UserWordRules
