// DataTypeDirectory: the result's table of contents, one DataTypeEntry per
// distinct data-type name in order of first registration. Names match
// exactly (bytes and length); FindDataType also tries the given name cut at
// its last ':' so that the three parts of a triple lead back to one entry.
// Entries are never removed or reordered; names change only through Rename,
// which the scan uses at its end. A name index beside the list (rebuilt once
// after renaming) keeps lookups constant-time while answering the first
// matching entry, as a walk from the front would. Simulations that point at
// one data-type table share its registrations (ShareTable) instead of
// registering every row again, so the directory grows with the tables read,
// not with simulations times rows.
#pragma once

#include "model/DataTypeEntry.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>

class DataTypeDirectory {
public:
    DataTypeEntry& RegisterBlock(rxSimulation* simulation, const char* name, int32_t kind,
                                 int32_t position, int32_t fileIndex);
    const DataTypeEntry* FindDataType(const char* name) const;

    // `simulation` read the very data-type table that `tableReader` read and
    // registered: every entry answers FindLocation for `simulation` with the
    // locations of `tableReader`, exactly as if its rows had been registered
    // again. `simulation` itself registers nothing afterwards.
    void ShareTable(const rxSimulation* simulation, const rxSimulation* tableReader);

    // Forgets every entry and every shared table.
    void Clear() noexcept;

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
    // Held apart so that entries can point at it whatever happens to the
    // directory object.
    std::unique_ptr<SharedTables> sharedTables = std::make_unique<SharedTables>();
};
