// ResLayout: where things lie in a .res file, in one place: the widths of
// the text fields, the header's shape and the bytes of one block record.
// Integer and real fields have the widths of the file's detected encoding (4
// or 8 bytes); what a record of each kind code holds is ResKind's. Reads
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
// The header's text fields in file order; its count follows them.
constexpr int kHeaderTextWidths[] = {kTitleWidth, kHeaderTextWidth, kHeaderTextWidth};
constexpr std::size_t kHeaderTextBytes = kTitleWidth + 2 * kHeaderTextWidth;

// Bytes of one block record: the id word and `reals` reals.
constexpr int64_t RecordBytes(int reals, int intSize, int realSize) {
    return static_cast<int64_t>(intSize) + static_cast<int64_t>(reals) * realSize;
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
