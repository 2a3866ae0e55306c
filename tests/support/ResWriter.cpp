#include "ResWriter.h"

#include <cstring>
#include <fstream>
#include <stdexcept>

namespace reswriter {
namespace {

// IEEE exponent e is stored in a Cray word as e + 16258 (bias 16384, and the Cray
// mantissa is a fraction 0.1xxx where IEEE has 1.xxx).
constexpr uint32_t kCrayExponentOffset = 16258;
constexpr uint32_t kCrayInfinityExponent = kCrayExponentOffset + 255;

uint32_t FloatBits(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float BitsFloat(uint32_t bits) {
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Appends the low `size` bytes of `value` in the requested byte order.
void AppendWord(std::vector<unsigned char>& bytes, uint64_t value, std::size_t size,
                bool bigEndian) {
    for (std::size_t i = 0; i < size; ++i) {
        const std::size_t shift = 8 * (bigEndian ? size - 1 - i : i);
        bytes.push_back(static_cast<unsigned char>(value >> shift));
    }
}

void Overwrite(std::vector<unsigned char>& bytes, std::size_t offset,
               const std::vector<unsigned char>& field) {
    if (offset > bytes.size() || field.size() > bytes.size() - offset)
        throw std::out_of_range("reswriter: patch beyond the end of the file");
    std::memcpy(bytes.data() + offset, field.data(), field.size());
}

int32_t Count(const std::optional<int32_t>& override, std::size_t actual) {
    return override ? *override : static_cast<int32_t>(actual);
}

} // namespace

bool CrayBytes(float value, bool bigEndian, unsigned char out[8]) {
    const uint32_t bits = FloatBits(value);
    const uint32_t sign = bits >> 31;
    const uint32_t e = (bits >> 23) & 0xFF;
    const uint32_t m = bits & 0x7FFFFF;

    uint32_t exponent = 0; // Cray exponent field; 0 reads back as a signed zero
    uint32_t mantissa = 0; // the 23 bits below the explicit leading 1
    if (e == 255) {
        if (m != 0)
            return false; // NaN
        exponent = kCrayInfinityExponent;
    } else if (e == 0) {
        if (m != 0)
            return false; // subnormal
    } else {
        exponent = e + kCrayExponentOffset;
        mantissa = m;
    }

    std::memset(out, 0, 8);
    if (bigEndian) {
        // sign, 15-bit exponent, 48-bit mantissa with explicit leading 1, rest zero.
        const uint64_t word = (uint64_t{sign} << 63) | (uint64_t{exponent} << 48) |
                              (exponent != 0 ? uint64_t{1} << 47 : 0) | (uint64_t{mantissa} << 24);
        for (int i = 0; i < 8; ++i)
            out[i] = static_cast<unsigned char>(word >> (56 - 8 * i));
        return true;
    }
    // Little-endian reading: exponent = byte 2 | (byte 3 & 0x7F) << 8 and mantissa =
    // byte 3 | byte 4 << 8 | (byte 5 & 0x7F) << 16, the sign from bit 7 of byte 0.
    // Byte 3 serves both, so for a normal value they have to agree.
    if (exponent != 0 && e != 255 && (mantissa & 0x7F) != ((exponent >> 8) & 0x7F))
        return false;
    out[0] = static_cast<unsigned char>(sign << 7);
    out[2] = static_cast<unsigned char>(exponent);
    out[3] = static_cast<unsigned char>(e == 255 || exponent == 0 ? exponent >> 8 : mantissa);
    out[4] = static_cast<unsigned char>(mantissa >> 8);
    out[5] = static_cast<unsigned char>(((mantissa >> 16) & 0x7F) | (exponent != 0 ? 0x80 : 0));
    return true;
}

float Representable(float value, const Encoding& encoding) {
    if (encoding.realFormat != RealFormat::Cray8 || encoding.bigEndian)
        return value;
    const uint32_t bits = FloatBits(value);
    const uint32_t e = (bits >> 23) & 0xFF;
    if (e == 0 || e == 255)
        return value;
    const uint32_t high = ((e + kCrayExponentOffset) >> 8) & 0x7F;
    return BitsFloat((bits & ~uint32_t{0x7F}) | high);
}

void AppendText(std::vector<unsigned char>& bytes, const std::string& text, std::size_t width) {
    const std::size_t used = text.size() < width ? text.size() : width;
    bytes.insert(bytes.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(used));
    bytes.insert(bytes.end(), width - used, 0);
}

void AppendInt(std::vector<unsigned char>& bytes, int32_t value, const Encoding& encoding) {
    const uint32_t word = static_cast<uint32_t>(value);
    switch (encoding.intFormat) {
    case IntFormat::Int4:
        AppendWord(bytes, word, 4, encoding.bigEndian);
        break;
    case IntFormat::Int8First:
        AppendWord(bytes, word, 4, encoding.bigEndian);
        AppendWord(bytes, encoding.filler, 4, encoding.bigEndian);
        break;
    case IntFormat::Int8Second:
        AppendWord(bytes, encoding.filler, 4, encoding.bigEndian);
        AppendWord(bytes, word, 4, encoding.bigEndian);
        break;
    }
}

void AppendReal(std::vector<unsigned char>& bytes, float value, const Encoding& encoding) {
    switch (encoding.realFormat) {
    case RealFormat::Real4:
        AppendWord(bytes, FloatBits(value), 4, encoding.bigEndian);
        break;
    case RealFormat::Real8: {
        const double wide = value;
        uint64_t bits = 0;
        std::memcpy(&bits, &wide, sizeof bits);
        AppendWord(bytes, bits, 8, encoding.bigEndian);
        break;
    }
    case RealFormat::Cray8: {
        unsigned char word[8];
        if (!CrayBytes(value, encoding.bigEndian, word))
            throw std::invalid_argument("reswriter: value not representable as this Cray word");
        bytes.insert(bytes.end(), word, word + 8);
        break;
    }
    }
}

void PatchInt(std::vector<unsigned char>& bytes, std::size_t offset, int32_t value,
              const Encoding& encoding) {
    std::vector<unsigned char> field;
    AppendInt(field, value, encoding);
    Overwrite(bytes, offset, field);
}

void PatchReal(std::vector<unsigned char>& bytes, std::size_t offset, float value,
               const Encoding& encoding) {
    std::vector<unsigned char> field;
    AppendReal(field, value, encoding);
    Overwrite(bytes, offset, field);
}

std::vector<unsigned char> Write(const ResFile& file, Layout* layout) {
    const Encoding& enc = file.encoding;
    Layout local;
    Layout& out = layout ? *layout : local;
    out = Layout{};

    std::vector<unsigned char> bytes;
    out.title = bytes.size();
    AppendText(bytes, file.title, kTitleWidth);
    out.text1 = bytes.size();
    AppendText(bytes, file.text1, kTextWidth);
    out.text2 = bytes.size();
    AppendText(bytes, file.text2, kTextWidth);
    out.simulationCount = bytes.size();
    AppendInt(bytes, Count(file.simulationCount, file.simulations.size()), enc);

    // Simulation table; the table positions are patched in once the tables are placed.
    out.simulationTable = bytes.size();
    out.simulations.resize(file.simulations.size());
    for (std::size_t s = 0; s < file.simulations.size(); ++s) {
        out.simulations[s].label = bytes.size();
        AppendText(bytes, file.simulations[s].label, kLabelWidth);
        out.simulations[s].tablePosition = bytes.size();
        AppendInt(bytes, 0, enc);
    }

    for (std::size_t s = 0; s < file.simulations.size(); ++s) {
        const Simulation& sim = file.simulations[s];
        SimulationLayout& simOut = out.simulations[s];
        simOut.table = simOut.dataTypeCount = bytes.size();
        PatchInt(bytes, simOut.tablePosition,
                 sim.tablePosition ? *sim.tablePosition : static_cast<int32_t>(simOut.table), enc);
        AppendInt(bytes, Count(sim.dataTypeCount, sim.rows.size()), enc);

        simOut.rows.resize(sim.rows.size());
        for (std::size_t r = 0; r < sim.rows.size(); ++r) {
            RowLayout& rowOut = simOut.rows[r];
            rowOut.name = bytes.size();
            AppendText(bytes, sim.rows[r].name, kNameWidth);
            rowOut.kind = bytes.size();
            AppendInt(bytes, sim.rows[r].kind, enc);
            rowOut.blockPosition = bytes.size();
            AppendInt(bytes, sim.rows[r].blockPosition.value_or(0), enc);
        }

        for (std::size_t r = 0; r < sim.rows.size(); ++r) {
            const DataTypeRow& row = sim.rows[r];
            if (!row.writeBlock)
                continue;
            RowLayout& rowOut = simOut.rows[r];
            rowOut.block = rowOut.entityCount = bytes.size();
            if (!row.blockPosition)
                PatchInt(bytes, rowOut.blockPosition, static_cast<int32_t>(rowOut.block), enc);
            AppendInt(bytes, Count(row.entityCount, row.records.size()), enc);
            for (const Record& record : row.records) {
                rowOut.records.push_back(bytes.size());
                AppendInt(bytes, record.id, enc);
                for (float value : record.reals)
                    AppendReal(bytes, value, enc);
            }
        }
    }

    out.trailing = bytes.size();
    bytes.insert(bytes.end(), file.trailing.begin(), file.trailing.end());
    out.size = bytes.size();
    return bytes;
}

void WriteFile(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
    std::ofstream stream(path, std::ios::binary | std::ios::trunc);
    stream.write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
    stream.close();
    if (!stream)
        throw std::runtime_error("reswriter: cannot write " + path.string());
}

} // namespace reswriter
