// DataTypeEntry: one data type of the directory: its name, the kind code of
// its first registration and one location per registration, in registration
// order. FindLocation answers the first location of a simulation through an
// index kept beside the list, so looking up every simulation stays linear.
// A simulation that read the same data-type table as an earlier one holds no
// locations of its own: the directory's table sharing sends its lookups to
// that earlier simulation. The entry reads no files.
#pragma once

#include "model/BlockLocation.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// For each simulation that shares a data-type table, the simulation whose
// registrations stand for it.
using SharedTables = std::unordered_map<const rxSimulation*, const rxSimulation*>;

class DataTypeEntry {
public:
    // `sharing`, when given, must outlive the entry.
    DataTypeEntry(std::string name, int32_t kind, const SharedTables* sharing = nullptr);

    const std::string& Name() const { return name; }
    void Rename(std::string newName) { name = std::move(newName); }
    int32_t Kind() const { return kind; }
    const std::vector<BlockLocation>& Locations() const { return locations; }

    void AddLocation(const BlockLocation& location);

    // The first location of `simulation` (or of the simulation whose table
    // it shares): fills both outputs and returns true, or returns false and
    // leaves them alone.
    bool FindLocation(const rxSimulation* simulation, int32_t* position, int32_t* fileIndex) const;

private:
    std::string name;
    int32_t kind;
    const SharedTables* sharing;
    std::vector<BlockLocation> locations;
    std::unordered_map<const rxSimulation*, std::size_t> firstLocation;
};
