// DataTypeEntry: one data type of the directory: its name, the kind code of
// its first registration and one location per registration, in registration
// order. FindLocation answers the first location of a simulation through an
// index kept beside the list, so looking up every simulation stays linear.
// The entry reads no files.
#pragma once

#include "model/BlockLocation.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class DataTypeEntry {
public:
    DataTypeEntry(std::string name, int32_t kind);

    const std::string& Name() const { return name; }
    void Rename(std::string newName) { name = std::move(newName); }
    int32_t Kind() const { return kind; }
    const std::vector<BlockLocation>& Locations() const { return locations; }

    void AddLocation(const BlockLocation& location);

    // The first location of `simulation`: fills both outputs and returns
    // true, or returns false and leaves them alone.
    bool FindLocation(const rxSimulation* simulation, int32_t* position, int32_t* fileIndex) const;

private:
    std::string name;
    int32_t kind;
    std::vector<BlockLocation> locations;
    std::unordered_map<const rxSimulation*, std::size_t> firstLocation;
};
