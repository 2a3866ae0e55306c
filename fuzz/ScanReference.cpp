#include "ScanReference.h"

#include "LabelNumberReference.h"

#include <cmath>
#include <cstring>

namespace {

constexpr float kNoValue = -3.4028235e38f;

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

std::string Normalised(const std::string& name) {
    const std::string lower = Lower(name);
    if (lower == "displacements" || lower == "nodal displacement") {
        return "displacement";
    }
    if (lower == "displacements (c)") {
        return "displacement (c)";
    }
    return name;
}

} // namespace

ScanReference::ScanReference(const std::uint8_t* data, std::size_t length)
    : bytes(data), size(static_cast<std::int64_t>(length)) {
    // The header test: 4-byte integers little- then big-endian, then 8-byte
    // integers (value in bytes 4 to 7) with Cray reals, likewise.
    const struct {
        int intSize;
        bool bigEndian;
    } trials[] = {{4, false}, {4, true}, {8, false}, {8, true}};
    for (const auto& trial : trials) {
        intSize = trial.intSize;
        realSize = trial.intSize;
        bigEndian = trial.bigEndian;
        if (Fits(189, intSize)) {
            const std::int32_t count = Int(189);
            if (count >= -65535 && count <= 65535) {
                accepted = true;
                break;
            }
        }
    }
    if (!accepted) {
        return;
    }

    const std::int32_t simulationCount = Int(189);
    const std::int64_t entryBytes = 31 + intSize;
    std::vector<std::int32_t> tables;
    float previous = kNoValue;
    for (std::int32_t i = 0; i < simulationCount; ++i) {
        const std::int64_t at = 189 + intSize + i * entryBytes;
        if (!Fits(at, entryBytes)) {
            break;
        }
        Simulation simulation;
        simulation.label = Text(at, 31);
        float value = ReferenceLabelValue(simulation.label.c_str());
        if (!(previous < value || std::isnan(previous) || std::isnan(value))) {
            value = previous == kNoValue ? 0.0f : previous + 1.0f;
        }
        simulation.sync = value;
        previous = value;
        simulations.push_back(simulation);
        tables.push_back(Int(at + 31));
    }

    const std::int64_t rowBytes = 31 + 2 * intSize;
    for (std::size_t s = 0; s < tables.size(); ++s) {
        const std::int64_t table = tables[s];
        if (table < 0 || !Fits(table, intSize)) {
            continue;
        }
        const std::int32_t rows = Int(table);
        for (std::int32_t r = 0; r < rows; ++r) {
            const std::int64_t row = table + intSize + r * rowBytes;
            if (!Fits(row, rowBytes)) {
                break;
            }
            const std::int32_t kind = Int(row + 31);
            Register(static_cast<int>(s), Normalised(Text(row, 31)), kind, Int(row + 31 + intSize));
            if (kind == 4 || kind == 6 || kind == 8) {
                complex = true;
            }
        }
    }

    for (Entry& entry : entries) {
        if (entry.kind == 4 && entry.name.size() >= 4) {
            entry.name.erase(entry.name.size() - 4);
        }
        if (complex && entry.kind == 0) {
            entry.name += "_NC";
        }
    }
}

void ScanReference::Register(int simulation, const std::string& name, std::int32_t kind,
                             std::int32_t position) {
    Entry* found = nullptr;
    for (Entry& entry : entries) {
        if (entry.name == name) {
            found = &entry;
            break;
        }
    }
    if (found == nullptr) {
        entries.push_back(Entry{name, kind, {}});
        found = &entries.back();
    }
    found->firstBlock.emplace(simulation, position); // a later one does not replace it
}

const ScanReference::Entry* ScanReference::FindDataType(const std::string& name) const {
    for (const Entry& entry : entries) {
        if (entry.name == name) {
            return &entry;
        }
    }
    const std::size_t colon = name.rfind(':');
    if (colon == std::string::npos) {
        return nullptr;
    }
    const std::string cut = name.substr(0, colon);
    for (const Entry& entry : entries) {
        if (entry.name == cut) {
            return &entry;
        }
    }
    return nullptr;
}

ScanReference::Block ScanReference::ReadBlock(std::int32_t position, int realsPerRecord) const {
    Block block;
    if (position < 0 || !Fits(position, intSize) || Int(position) < 0) {
        return block;
    }
    const std::int32_t count = Int(position);
    const std::int64_t recordBytes = intSize + std::int64_t{realsPerRecord} * realSize;
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int64_t record = position + intSize + i * recordBytes;
        if (!Fits(record, recordBytes)) {
            break;
        }
        block.ids.push_back(Int(record));
        for (int v = 0; v < realsPerRecord; ++v) {
            block.reals.push_back(Real(record + intSize + std::int64_t{v} * realSize));
        }
    }
    block.announced = static_cast<std::int32_t>(block.ids.size());
    return block;
}

bool ScanReference::Fits(std::int64_t offset, std::int64_t length) const {
    return offset >= 0 && length >= 0 && offset <= size && length <= size - offset;
}

std::uint32_t ScanReference::Word(std::int64_t offset) const {
    std::uint32_t word = 0;
    for (int i = 0; i < 4; ++i) {
        const std::uint32_t byte = bytes[offset + i];
        word |= bigEndian ? byte << (8 * (3 - i)) : byte << (8 * i);
    }
    return word;
}

std::int32_t ScanReference::Int(std::int64_t offset) const {
    const std::uint32_t word = Word(intSize == 8 ? offset + 4 : offset);
    std::int32_t value = 0;
    std::memcpy(&value, &word, sizeof value);
    return value;
}

float ScanReference::Real(std::int64_t offset) const {
    std::uint32_t bits = 0;
    if (realSize == 4) {
        bits = Word(offset);
    } else {
        // A Cray word: sign, 15-bit exponent biased by 16384, 48-bit
        // mantissa with its leading bit stored; the single keeps the 23 bits
        // after the leading one.
        const std::uint32_t w1 = Word(offset);
        const std::uint32_t w2 = Word(offset + 2);
        const std::uint32_t sign = (bytes[offset] & 0x80u) << 24;
        const std::int64_t e = static_cast<std::int64_t>((w1 >> 16) & 0x7FFFu) - 16258;
        const std::uint32_t m = (w2 >> 8) & 0x7FFFFFu;
        if (e < 0) {
            bits = sign;
        } else if (e > 254) {
            bits = sign | 0x7F800000u;
        } else {
            bits = sign | (static_cast<std::uint32_t>(e) << 23) | m;
        }
    }
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::string ScanReference::Text(std::int64_t offset, int width) const {
    std::string text;
    for (int i = 0; i < width && bytes[offset + i] != 0; ++i) {
        text += static_cast<char>(bytes[offset + i]);
    }
    return text;
}
