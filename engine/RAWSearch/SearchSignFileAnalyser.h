#pragma once

#include <cstdint>

#include "RawFileAnalyser.h"

// Where `pattern` first lies wholly inside `length` bytes, or -1; -1 too for
// null arguments, a length below 1 or the pattern's, or an empty pattern.
int64_t Apimemstr(const uint8_t* bytes, int64_t length, const uint8_t* pattern,
                  int64_t patternLength);

// A request for an end-signature search.
struct SearchSignCodeInfo {
    static constexpr uint64_t kDefaultLimit = 0xD000000;

    char signature[64] = {};  // zero-terminated
    uint32_t length = 0;
    uint64_t maxSearchLength = 0;  // 0: kDefaultLimit
};

// Measures a text file by finding its end signature (such as "</html>") in
// the sectors where the text ends, that is those whose last bytes are zero.
class SearchSignFileAnalyser {
public:
    // Writes the size into the record; always 1. A case-insensitive search
    // (exactCase 0) rewrites the request's signature letters in place.
    static int SearchEndSignCode(CRawFileInfo& info, IStorageDevice* device,
                                 SearchSignCodeInfo& request, int exactCase);
};
