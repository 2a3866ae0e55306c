// EncodingNames: the one vocabulary of encodings that every layer speaks (the
// writer, convert, the C++ API and Python): "i4le" and "i4be", 4-byte
// integers with IEEE single reals, and "i8le" and "i8be", 8-byte integers
// (the value in bytes 4-7) with Cray reals, least or most significant byte
// first. A detected encoding is named by its family: the variants a reader
// also takes (IEEE double reals with 4-byte integers, the value in bytes 0-3
// of an 8-byte integer) by the family of their integer width. Names only;
// the encodings themselves are ResEncoding's.
#pragma once

#include "fileio/ResEncoding.h"

#include <string>
#include <string_view>

namespace encodingnames {

struct Entry {
    const char* name;
    IntEncoding ints;
    RealEncoding reals;
    bool bigEndian;
};

// In the order of the writer's kvres::Encoding.
constexpr Entry kEntries[] = {
    {"i4le", Int4, Real4, false},
    {"i4be", Int4, Real4, true},
    {"i8le", Int8Second, Cray8, false},
    {"i8be", Int8Second, Cray8, true},
};
constexpr int kCount = static_cast<int>(sizeof kEntries / sizeof kEntries[0]);

// The entry of the family of a detected encoding.
constexpr int FamilyOf(IntEncoding ints, bool bigEndian) {
    return (ints == Int4 ? 0 : 2) + (bigEndian ? 1 : 0);
}

// The entry named `name`, exactly; -1 for any other text.
inline int Find(std::string_view name) {
    for (int i = 0; i < kCount; ++i) {
        if (name == kEntries[i].name) {
            return i;
        }
    }
    return -1;
}

// "i4le, i4be, i8le, i8be", for messages.
inline std::string List() {
    std::string text;
    for (const Entry& entry : kEntries) {
        text += (text.empty() ? "" : ", ") + std::string(entry.name);
    }
    return text;
}

} // namespace encodingnames
