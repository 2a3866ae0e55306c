// ResLayout: where things lie in a .res file, in one place: the widths of
// the text fields, the header's shape, and what a block record of each kind
// code holds. Integer and real fields have the widths of the file's detected
// encoding (4 or 8 bytes); everything here is independent of that. Reads
// nothing itself.
#pragma once

#include <cstdint>
#include <string>

namespace reslayout {

constexpr int kTitleWidth = 27;      // header title, begins "Korvane Results"
constexpr int kHeaderTextWidth = 81; // two uninterpreted header texts
constexpr int kLabelWidth = 31;      // simulation label
constexpr int kNameWidth = 31;       // data-type name
constexpr const char* kTitleText = "Korvane Results";

// Kind codes of a data-type table row.
enum Kind : int32_t {
    kRealVectorNodes = 0,
    kRealScalarNodes = 1,
    kUnpresented = 2,
    kRealScalarElements = 3,
    kComplexVectorNodes = 4,
    kComplexScalarNodes = 5,
    kComplexScalarElements = 6,
    kTripleNodes = 7,
    kTripleElements = 8,
};

// Reals that follow the entity id in one block record of `kind`; 0 for kind
// 2 and codes outside 0 to 8, whose blocks are never read.
inline int RealsPerRecord(int32_t kind) {
    switch (kind) {
    case 0:
        return 3;
    case 1:
        return 1;
    case 3:
        return 1;
    case 4:
        return 6;
    case 5:
        return 2;
    case 6:
        return 2;
    case 7:
        return 3;
    case 8:
        return 3;
    default:
        return 0;
    }
}

// Kinds whose blocks mark a result as holding complex data.
inline bool IsComplexKind(int32_t kind) {
    return kind == 4 || kind == 6 || kind == 8;
}

// Bytes of one block record: the id word and its reals.
inline int64_t RecordBytes(int32_t kind, int intSize, int realSize) {
    return static_cast<int64_t>(intSize) + static_cast<int64_t>(RealsPerRecord(kind)) * realSize;
}

// A fixed-width text field's text: its bytes up to the first NUL, or all of
// them when it holds none.
inline std::string FieldText(const char* bytes, int width) {
    int length = 0;
    while (length < width && bytes[length] != '\0') {
        ++length;
    }
    return std::string(bytes, static_cast<std::size_t>(length));
}

} // namespace reslayout
