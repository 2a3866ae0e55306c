// EncodingNames: the one vocabulary of encodings that every layer speaks (the
// writer, convert, the C++ API and Python): "i4le" and "i4be", 4-byte
// integers with IEEE single reals, and "i8le" and "i8be", 8-byte integers
// (the value in bytes 4-7) with Cray reals, least or most significant byte
// first. A detected encoding is named by its family: the variants a reader
// also takes (IEEE double reals with 4-byte integers, the value in bytes 0-3
// of an 8-byte integer) by the family of their integer width. Also the
// detection's trials in the order they are tried, and the words the read
// API ("Int4 Real4 little-endian") and check ("4 bytes", "IEEE single, 4
// bytes") describe a detected encoding with. Names only; the encodings
// themselves are ResEncoding's.
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

// The encodings the detection tries, in the order it tries them; check
// numbers them from 1.
struct Trial {
    IntEncoding ints;
    RealEncoding reals;
    bool bigEndian;
};
constexpr Trial kTrials[] = {
    {Int4, Real4, false},     {Int4, Real4, true},        {Int8First, Cray8, false},
    {Int8First, Cray8, true}, {Int8Second, Cray8, false}, {Int8Second, Cray8, true},
    {Int4, Real8, false},     {Int4, Real8, true},
};

// The number (from 1) of the trial that detects this encoding; 0 for none.
constexpr int TrialNumber(IntEncoding ints, RealEncoding reals, bool bigEndian) {
    int number = 1;
    for (const Trial& trial : kTrials) {
        if (trial.ints == ints && trial.reals == reals && trial.bigEndian == bigEndian) {
            return number;
        }
        ++number;
    }
    return 0;
}

// The words of the read API: "Int4", "Real8", "big-endian" ...
inline const char* IntName(IntEncoding ints) {
    constexpr const char* names[] = {"Int4", "Int8First", "Int8Second"};
    return names[ints];
}
inline const char* RealName(RealEncoding reals) {
    constexpr const char* names[] = {"Real4", "Real8", "Cray8"};
    return names[reals];
}
inline const char* ByteOrderName(bool bigEndian) {
    return bigEndian ? "big-endian" : "little-endian";
}
// "Int4 Real4 little-endian".
inline std::string DetectedName(IntEncoding ints, RealEncoding reals, bool bigEndian) {
    return std::string(IntName(ints)) + " " + RealName(reals) + " " + ByteOrderName(bigEndian);
}

// check's words for the items: "4 bytes", "IEEE single, 4 bytes" ...
inline const char* IntWords(IntEncoding ints) {
    constexpr const char* words[] = {"4 bytes", "8 bytes, value in bytes 0-3",
                                     "8 bytes, value in bytes 4-7"};
    return words[ints];
}
inline const char* RealWords(RealEncoding reals) {
    constexpr const char* words[] = {"IEEE single, 4 bytes", "IEEE double, 8 bytes",
                                     "Cray word, 8 bytes"};
    return words[reals];
}

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
