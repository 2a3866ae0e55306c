// DataTypeEntry: one data type of the directory: its name, the kind code of
// its first registration and where its blocks lie. Blocks arrive in two
// ways. RegisterBlock's locations are kept one per registration, in order.
// The structure scan instead adds the rows of data-type tables that carry
// this name, each row once (its row set, row number and block position); a
// simulation then finds the first such row inside its own table's window
// (ScannedTables), so a row that many overlapping tables hold is stored once
// and no list grows with simulations times rows. FindLocation answers both
// through an index or a binary search
// (FirstLocations, for many simulations at once, mostly without either). The entry reads no files.
#pragma once

#include "model/BlockLocation.h"
#include "model/ScannedTables.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class DataTypeEntry {
public:
    // `tables`, when given, must outlive the entry.
    DataTypeEntry(std::string name, int32_t kind, const ScannedTables* tables = nullptr);

    const std::string& Name() const { return name; }
    void Rename(std::string newName) { name = std::move(newName); }
    int32_t Kind() const { return kind; }

    // Every location in registration order: those added by AddLocation, then
    // for each simulation with a table window, in scan order, each row of its
    // window that carries this name. Built on demand; its length is the
    // number of registrations the plain reading makes, which for overlapping
    // tables can be simulations times rows.
    std::vector<BlockLocation> Locations() const;

    // The locations of `simulation` alone, in registration order; as cheap
    // as one FindLocation plus the rows it returns.
    std::vector<BlockLocation> LocationsOf(const rxSimulation* simulation) const;

    void AddLocation(const BlockLocation& location);

    // A table row with this name: row `row` of row set `rowSet` of the
    // scanned tables, naming the block at `position`. Rows are added in any
    // order; SortRows must run before FindLocation or Locations look at them.
    void AddRow(uint32_t rowSet, int64_t row, int32_t position);
    void SortRows();
    // Distinct table rows with this name.
    std::size_t RowCount() const { return rows.size(); }

    // The first location of `simulation`: its first AddLocation, or else the
    // first row with this name in its table window. Fills both outputs and
    // returns true, or returns false and leaves them alone.
    bool FindLocation(const rxSimulation* simulation, int32_t* position, int32_t* fileIndex) const;
    // FindLocation for each of `simulations` at once: element i is the
    // first location of simulations[i], or a location whose simulation is
    // null when it has none. Simulations given in scan order cost neither a
    // hash look-up nor a binary search each: their windows and rows are
    // taken where the previous simulation's ended, and looked up only where
    // that guess is not the answer.
    std::vector<BlockLocation> FirstLocations(const std::vector<rxSimulation*>& simulations) const;

private:
    struct Row {
        uint32_t rowSet;
        int32_t position;
        int64_t row;
    };
    static bool Before(const Row& a, const Row& b) {
        return a.rowSet != b.rowSet ? a.rowSet < b.rowSet : a.row < b.row;
    }
    // The first row at or after `row` in `rowSet`, as an index into rows.
    std::size_t FirstRowFrom(uint32_t rowSet, int64_t row) const;
    // Appends a location for each row with this name in `window`.
    void AppendWindowRows(rxSimulation* simulation, const ScannedTables::Window& window,
                          std::vector<BlockLocation>& out) const;

    std::string name;
    int32_t kind;
    const ScannedTables* tables;
    std::vector<BlockLocation> locations;
    std::unordered_map<const rxSimulation*, std::size_t> firstLocation;
    std::vector<Row> rows; // sorted by (rowSet, row) after SortRows
};
