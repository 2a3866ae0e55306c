// ScanReference: one .res file read the plain way, straight from its bytes,
// as the differential reference for the reader's structure scan and data
// sets. It detects the encoding by the header test, reads the simulation
// table, then every row of every simulation's data-type table in turn and
// registers each in a list searched from the front (no index, no sharing,
// no caps), normalises and finishes the names as the reader does, and
// decodes blocks word by word, Cray words bit by bit. Slow and simple on
// purpose; used by the fuzz target only, on inputs of a few kilobytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class ScanReference {
public:
    struct Simulation {
        std::string label;
        float sync = 0.0f;
    };
    struct Entry {
        std::string name;
        std::int32_t kind = 0;
        // The first block position registered for each simulation (by index).
        std::map<int, std::int32_t> firstBlock;
    };
    // One read of one block: what the host is told and given.
    struct Block {
        std::int32_t announced = 0;
        std::vector<std::int32_t> ids;
        std::vector<float> reals; // realsPerRecord per record, in file order
    };

    ScanReference(const std::uint8_t* data, std::size_t size);

    bool Accepted() const { return accepted; }
    bool Complex() const { return complex; }
    const std::vector<Simulation>& Simulations() const { return simulations; }
    const std::vector<Entry>& Entries() const { return entries; }

    // The first entry named `name`, else the first named `name` cut at its
    // last ':'; null when neither exists.
    const Entry* FindDataType(const std::string& name) const;

    // The block at `position` read with `realsPerRecord` reals per record:
    // the count word (nothing when it cannot be read or is negative), then
    // the records that lie whole in the file, at most the count.
    Block ReadBlock(std::int32_t position, int realsPerRecord) const;

private:
    bool Fits(std::int64_t offset, std::int64_t length) const;
    std::uint32_t Word(std::int64_t offset) const; // 4 bytes in the file's order
    std::int32_t Int(std::int64_t offset) const;
    float Real(std::int64_t offset) const;
    std::string Text(std::int64_t offset, int width) const;
    void Register(int simulation, const std::string& name, std::int32_t kind,
                  std::int32_t position);

    const std::uint8_t* bytes;
    std::int64_t size;
    bool accepted = false;
    bool bigEndian = false;
    int intSize = 4;
    int realSize = 4; // 4: IEEE single; 8: Cray word
    bool complex = false;
    std::vector<Simulation> simulations;
    std::vector<Entry> entries;
};
