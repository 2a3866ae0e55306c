#include "model/DataTypeEntry.h"

#include <utility>

DataTypeEntry::DataTypeEntry(std::string name, int32_t kind, const SharedTables* sharing)
    : name(std::move(name)), kind(kind), sharing(sharing) {}

void DataTypeEntry::AddLocation(const BlockLocation& location) {
    locations.push_back(location);
    firstLocation.emplace(location.simulation, locations.size() - 1);
}

bool DataTypeEntry::FindLocation(const rxSimulation* simulation, int32_t* position,
                                 int32_t* fileIndex) const {
    if (sharing != nullptr) {
        auto shared = sharing->find(simulation);
        if (shared != sharing->end()) {
            simulation = shared->second;
        }
    }
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
