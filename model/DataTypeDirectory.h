// DataTypeDirectory: the result's table of contents, one DataTypeEntry per
// distinct data-type name in order of first registration. Names match
// exactly (bytes and length); FindDataType also tries the given name cut at
// its last ':' so that the three parts of a triple lead back to one entry.
// Entries are never removed or reordered; names change only through Rename,
// which the scan uses at its end. A name index beside the list (rebuilt once
// after renaming) keeps lookups constant-time while answering the first
// matching entry, as a walk from the front would.
#pragma once

#include "model/DataTypeEntry.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>

class DataTypeDirectory {
public:
    DataTypeEntry& RegisterBlock(rxSimulation* simulation, const char* name, int32_t kind,
                                 int32_t position, int32_t fileIndex);
    const DataTypeEntry* FindDataType(const char* name) const;

    std::size_t Size() const { return entries.size(); }
    bool Empty() const { return entries.empty(); }
    const DataTypeEntry& At(std::size_t index) const { return entries[index]; }
    void Rename(std::size_t index, std::string newName);

private:
    const DataTypeEntry* FindExact(const std::string& name) const;
    void RefreshIndex() const;

    // A deque keeps references to entries valid while it grows.
    std::deque<DataTypeEntry> entries;
    mutable std::unordered_map<std::string, std::size_t> firstByName;
    mutable bool indexStale = false;
};
