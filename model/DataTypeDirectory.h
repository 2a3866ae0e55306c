// DataTypeDirectory: the result's table of contents, one DataTypeEntry per
// distinct data-type name in order of first registration. Names match
// exactly (bytes and length); FindDataType also tries the given name cut at
// its last ':' so that the three parts of a triple lead back to one entry.
// Entries are never removed or reordered; names change only through Rename,
// which the scan uses at its end. A name index beside the list (rebuilt once
// after renaming) keeps lookups constant-time while answering the first
// matching entry, as a walk from the front would.
//
// The structure scan registers tables, not single blocks: AddTable gives a
// simulation its table as a window over rows held once per (file, row
// position) (ScannedTables) and returns the rows no earlier table held; the
// scan reads those and registers each with RegisterRow. Tables that overlap
// (at one position, rows apart, or cut short by the end of the file) thus
// cost the distinct rows they hold, while every simulation answers exactly
// as if each row of its table had been registered in turn: names and kinds
// of first occurrence, and the first row of a name in its own table.
#pragma once

#include "model/DataTypeEntry.h"
#include "model/ScannedTables.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class DataTypeDirectory {
public:
    DataTypeEntry& RegisterBlock(rxSimulation* simulation, const char* name, int32_t kind,
                                 int32_t position, int32_t fileIndex);
    const DataTypeEntry* FindDataType(const char* name) const;
    // The entry that `name` was registered under, whatever it was renamed to.
    const DataTypeEntry* FindRegistered(const std::string& name) const;

    // `simulation`'s data-type table: `rowCount` rows of `rowBytes` bytes
    // from byte `firstRowPosition` of file `fileIndex` (nothing for a count
    // of 0 or less). Returns the runs of rows that no earlier table covered,
    // in row order; the caller registers each of their rows, in order, with
    // RegisterRow before it adds the next table. A simulation gets one table.
    std::vector<ScannedTables::Run> AddTable(rxSimulation* simulation, int32_t fileIndex,
                                             int64_t firstRowPosition, int32_t rowBytes,
                                             int64_t rowCount);
    // Row `row` of the row set of `run`: its name, the kind read and its
    // block position. The name's entry keeps its first kind, as with
    // RegisterBlock. Returns the entry.
    DataTypeEntry& RegisterRow(const ScannedTables::Run& run, int64_t row, const char* name,
                               int32_t kind, int32_t position);
    // Readies the rows registered so far for lookups; the scan calls it once
    // it has registered every table.
    void EndTables();

    const ScannedTables& Tables() const { return *tables; }

    // Forgets every entry and every table.
    void Clear() noexcept;

    std::size_t Size() const { return entries.size(); }
    bool Empty() const { return entries.empty(); }
    const DataTypeEntry& At(std::size_t index) const { return entries[index]; }
    void Rename(std::size_t index, std::string newName);

private:
    DataTypeEntry& EntryFor(const char* name, int32_t kind);
    const DataTypeEntry* FindExact(const std::string& name) const;
    void RefreshIndex() const;

    // A deque keeps references to entries valid while it grows.
    std::deque<DataTypeEntry> entries;
    mutable std::unordered_map<std::string, std::size_t> firstByName;
    mutable bool indexStale = false;
    std::unordered_map<std::string, std::size_t> registered; // by the name first given
    // Held apart so that entries can point at it whatever happens to the
    // directory object.
    std::unique_ptr<ScannedTables> tables = std::make_unique<ScannedTables>();
};
