#include "model/DataTypeDirectory.h"

#include <string>
#include <utility>

DataTypeEntry& DataTypeDirectory::RegisterBlock(rxSimulation* simulation, const char* name,
                                                int32_t kind, int32_t position, int32_t fileIndex) {
    RefreshIndex();
    std::string key = name != nullptr ? name : "";
    auto found = firstByName.find(key);
    std::size_t index = 0;
    if (found != firstByName.end()) {
        index = found->second;
    } else {
        entries.emplace_back(key, kind, sharedTables.get());
        index = entries.size() - 1;
        firstByName.emplace(std::move(key), index);
    }
    DataTypeEntry& entry = entries[index];
    entry.AddLocation(BlockLocation{simulation, position, fileIndex});
    return entry;
}

const DataTypeEntry* DataTypeDirectory::FindExact(const std::string& name) const {
    RefreshIndex();
    auto found = firstByName.find(name);
    return found != firstByName.end() ? &entries[found->second] : nullptr;
}

const DataTypeEntry* DataTypeDirectory::FindDataType(const char* name) const {
    if (name == nullptr) {
        return nullptr;
    }
    std::string given = name;
    if (const DataTypeEntry* exact = FindExact(given)) {
        return exact;
    }
    std::size_t colon = given.rfind(':');
    if (colon == std::string::npos) {
        return nullptr;
    }
    return FindExact(given.substr(0, colon));
}

void DataTypeDirectory::ShareTable(const rxSimulation* simulation,
                                   const rxSimulation* tableReader) {
    auto earlier = sharedTables->find(tableReader);
    const rxSimulation* reader = earlier != sharedTables->end() ? earlier->second : tableReader;
    if (reader != simulation) {
        (*sharedTables)[simulation] = reader;
    }
}

void DataTypeDirectory::Clear() noexcept {
    entries.clear();
    firstByName.clear();
    sharedTables->clear();
    indexStale = false;
}

void DataTypeDirectory::Rename(std::size_t index, std::string newName) {
    if (index >= entries.size()) {
        return;
    }
    entries[index].Rename(std::move(newName));
    indexStale = true;
}

void DataTypeDirectory::RefreshIndex() const {
    if (!indexStale) {
        return;
    }
    // Renaming can make two names equal; the earlier entry answers, as a walk
    // from the front would find it.
    firstByName.clear();
    for (std::size_t index = 0; index < entries.size(); ++index) {
        firstByName.emplace(entries[index].Name(), index);
    }
    indexStale = false;
}
