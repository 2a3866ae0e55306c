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
// The most simulations a file's header may count: a reader takes a header
// whose count lies outside -kMaxSimulations to kMaxSimulations for one read
// in the wrong encoding.
constexpr int kMaxSimulations = 65535;
// The header's text fields in file order; its count follows them.
constexpr int kHeaderTextWidths[] = {kTitleWidth, kHeaderTextWidth, kHeaderTextWidth};
constexpr std::size_t kHeaderTextBytes = kTitleWidth + 2 * kHeaderTextWidth;

// Bytes of the header (its texts and the simulation count), of one
// simulation table entry (label and table position) and of one data-type
// table row (name, kind, block position), for integers of `intSize` bytes.
constexpr int64_t HeaderBytes(int intSize) {
    return static_cast<int64_t>(kHeaderTextBytes) + intSize;
}
constexpr int64_t EntryBytes(int intSize) {
    return static_cast<int64_t>(kLabelWidth) + intSize;
}
constexpr int64_t RowBytes(int intSize) {
    return static_cast<int64_t>(kNameWidth) + 2 * static_cast<int64_t>(intSize);
}

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
