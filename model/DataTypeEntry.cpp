#include "model/DataTypeEntry.h"

#include <utility>

DataTypeEntry::DataTypeEntry(std::string name, int32_t kind) : name(std::move(name)), kind(kind) {}

void DataTypeEntry::AddLocation(const BlockLocation& location) {
    locations.push_back(location);
    firstLocation.emplace(location.simulation, locations.size() - 1);
}

bool DataTypeEntry::FindLocation(const rxSimulation* simulation, int32_t* position,
                                 int32_t* fileIndex) const {
    auto found = firstLocation.find(simulation);
    if (found == firstLocation.end()) {
        return false;
    }
    const BlockLocation& location = locations[found->second];
    if (position != nullptr) {
        *position = location.position;
    }
    if (fileIndex != nullptr) {
        *fileIndex = location.fileIndex;
    }
    return true;
}
