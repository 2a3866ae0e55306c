// ResWriter: builds .res result files in memory from a plain description, for the tests
// and the example generator. It lays out the header, the simulation table, and per
// simulation its data-type table followed by its blocks, computes every position, and
// can report the offset of every field it wrote. Overrides let a caller write counts
// and positions that disagree with the contents, so broken files need no hand-editing.
// It does not read files and does not check that a description makes sense (a record
// may carry any number of reals, a kind any value); it uses only the standard library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace reswriter {

enum class IntFormat { Int4, Int8First, Int8Second };
enum class RealFormat { Real4, Real8, Cray8 };

// How numbers are stored. For 8-byte integers the half that does not hold the value is
// filled with `filler`; the default reads as more than 65535 in magnitude in both byte
// orders, so an Int8Second header is not mistaken for a 4-byte one.
struct Encoding {
    IntFormat intFormat = IntFormat::Int4;
    RealFormat realFormat = RealFormat::Real4;
    bool bigEndian = false;
    uint32_t filler = 0x7F7F7F7Fu;

    std::size_t IntSize() const { return intFormat == IntFormat::Int4 ? 4 : 8; }
    std::size_t RealSize() const { return realFormat == RealFormat::Real4 ? 4 : 8; }
};

inline constexpr Encoding kInt4Real4LE{IntFormat::Int4, RealFormat::Real4, false};
inline constexpr Encoding kInt4Real4BE{IntFormat::Int4, RealFormat::Real4, true};
inline constexpr Encoding kInt8SecondCray8LE{IntFormat::Int8Second, RealFormat::Cray8, false};
inline constexpr Encoding kInt8SecondCray8BE{IntFormat::Int8Second, RealFormat::Cray8, true};
inline constexpr Encoding kInt4Real8LE{IntFormat::Int4, RealFormat::Real8, false};
inline constexpr Encoding kInt4Real8BE{IntFormat::Int4, RealFormat::Real8, true};
inline constexpr Encoding kInt8FirstCray8LE{IntFormat::Int8First, RealFormat::Cray8, false};
inline constexpr Encoding kInt8FirstCray8BE{IntFormat::Int8First, RealFormat::Cray8, true};

// Widths of the text fields.
inline constexpr std::size_t kTitleWidth = 27;
inline constexpr std::size_t kTextWidth = 81;
inline constexpr std::size_t kLabelWidth = 31;
inline constexpr std::size_t kNameWidth = 31;

// One entity of a block: its id and its reals, written as given.
struct Record {
    int32_t id = 0;
    std::vector<float> reals{};
};

// One entry of a simulation's data-type table and its block.
struct DataTypeRow {
    std::string name{};
    int32_t kind = 0;
    std::vector<Record> records{};
    // Written instead of the block's real position / instead of records.size().
    std::optional<int32_t> blockPosition = std::nullopt;
    std::optional<int32_t> entityCount = std::nullopt;
    bool writeBlock = true; // false: no block; the position field holds blockPosition or 0
};

struct Simulation {
    std::string label{};
    std::vector<DataTypeRow> rows{};
    // Written instead of rows.size() / instead of the table's real position.
    std::optional<int32_t> dataTypeCount = std::nullopt;
    std::optional<int32_t> tablePosition = std::nullopt;
};

struct ResFile {
    std::string title = "Korvane Results";
    std::string text1{}, text2{};
    std::vector<Simulation> simulations{};
    Encoding encoding{};
    std::optional<int32_t> simulationCount = std::nullopt; // written instead of simulations.size()
    std::vector<unsigned char> trailing{}; // raw bytes appended after everything else
};

// Byte offsets of the fields Write produced. A block's offset is that of its count field,
// a table's that of its ND field; a record's is that of its id, its reals follow at
// record + IntSize(). Rows with writeBlock false report kNoOffset for block and records.
inline constexpr std::size_t kNoOffset = static_cast<std::size_t>(-1);

struct RowLayout {
    std::size_t name = 0, kind = 0, blockPosition = 0;
    std::size_t block = kNoOffset, entityCount = kNoOffset;
    std::vector<std::size_t> records;
};

struct SimulationLayout {
    std::size_t label = 0, tablePosition = 0; // entry of the simulation table
    std::size_t table = 0, dataTypeCount = 0; // the data-type table
    std::vector<RowLayout> rows;
};

struct Layout {
    std::size_t title = 0, text1 = 0, text2 = 0, simulationCount = 0;
    std::size_t simulationTable = 0;
    std::vector<SimulationLayout> simulations;
    std::size_t trailing = 0; // where the trailing bytes start (the end of the file proper)
    std::size_t size = 0;     // total length
};

// Builds the file. Throws std::invalid_argument when a real cannot be stored exactly in
// the encoding (only possible with Cray8, see CrayBytes).
std::vector<unsigned char> Write(const ResFile& file, Layout* layout = nullptr);

// Writes bytes to a file; throws std::runtime_error when that fails.
void WriteFile(const std::filesystem::path& path, const std::vector<unsigned char>& bytes);

// Field helpers in the file's encoding.
void AppendText(std::vector<unsigned char>& bytes, const std::string& text, std::size_t width);
void AppendInt(std::vector<unsigned char>& bytes, int32_t value, const Encoding& encoding);
void AppendReal(std::vector<unsigned char>& bytes, float value, const Encoding& encoding);
// Overwrite the integer / real field at offset; throw std::out_of_range past the end.
void PatchInt(std::vector<unsigned char>& bytes, std::size_t offset, int32_t value,
              const Encoding& encoding);
void PatchReal(std::vector<unsigned char>& bytes, std::size_t offset, float value,
               const Encoding& encoding);

// The Cray word that the reader converts back to exactly `value`. Normal floats, signed
// zeros and infinities can be stored big-endian; NaNs and subnormals cannot. In the
// little-endian variant the exponent and mantissa share byte 3, so a normal float is
// representable only when its low 7 mantissa bits equal the high exponent bits
// (0x40 for |value| >= 0.5, 0x3F below). Returns false when not representable.
bool CrayBytes(float value, bool bigEndian, unsigned char out[8]);

// A float close to `value` that the encoding stores exactly: `value` itself except for
// little-endian Cray8, where its low 7 mantissa bits are replaced. Handy for tests that run
// the same values through every encoding.
float Representable(float value, const Encoding& encoding);

} // namespace reswriter
