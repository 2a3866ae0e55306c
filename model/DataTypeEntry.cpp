#include "model/DataTypeEntry.h"

#include <algorithm>
#include <utility>

DataTypeEntry::DataTypeEntry(std::string name, int32_t kind, const ScannedTables* tables)
    : name(std::move(name)), kind(kind), tables(tables) {}

void DataTypeEntry::AddLocation(const BlockLocation& location) {
    locations.push_back(location);
    firstLocation.emplace(location.simulation, locations.size() - 1);
}

void DataTypeEntry::AddRow(uint32_t rowSet, int64_t row, int32_t position) {
    rows.push_back(Row{rowSet, position, row});
}

void DataTypeEntry::SortRows() {
    if (!std::is_sorted(rows.begin(), rows.end(), Before)) {
        std::sort(rows.begin(), rows.end(), Before);
    }
}

std::size_t DataTypeEntry::FirstRowFrom(uint32_t rowSet, int64_t row) const {
    const Row key{rowSet, 0, row};
    return static_cast<std::size_t>(std::lower_bound(rows.begin(), rows.end(), key, Before) -
                                    rows.begin());
}

void DataTypeEntry::AppendWindowRows(rxSimulation* simulation, const ScannedTables::Window& window,
                                     std::vector<BlockLocation>& out) const {
    const int32_t fileIndex = tables->Set(window.rowSet).fileIndex;
    const int64_t end = window.firstRow + window.rowCount;
    for (std::size_t i = FirstRowFrom(window.rowSet, window.firstRow);
         i < rows.size() && rows[i].rowSet == window.rowSet && rows[i].row < end; ++i) {
        out.push_back(BlockLocation{simulation, rows[i].position, fileIndex});
    }
}

std::vector<BlockLocation> DataTypeEntry::Locations() const {
    std::vector<BlockLocation> all = locations;
    if (tables == nullptr || rows.empty()) {
        return all;
    }
    for (const auto& held : tables->Windows()) {
        AppendWindowRows(held.first, held.second, all);
    }
    return all;
}

std::vector<BlockLocation> DataTypeEntry::LocationsOf(const rxSimulation* simulation) const {
    std::vector<BlockLocation> found;
    for (const BlockLocation& location : locations) {
        if (location.simulation == simulation) {
            found.push_back(location);
        }
    }
    const ScannedTables::Window* window =
        tables != nullptr && !rows.empty() ? tables->WindowOf(simulation) : nullptr;
    if (window != nullptr) {
        // Locations name their simulation as the host's lists hold it.
        AppendWindowRows(const_cast<rxSimulation*>(simulation), *window, found);
    }
    return found;
}

bool DataTypeEntry::FindLocation(const rxSimulation* simulation, int32_t* position,
                                 int32_t* fileIndex) const {
    int32_t foundPosition = 0;
    int32_t foundFile = 0;
    const auto registered = firstLocation.find(simulation);
    if (registered != firstLocation.end()) {
        foundPosition = locations[registered->second].position;
        foundFile = locations[registered->second].fileIndex;
    } else {
        const ScannedTables::Window* window =
            tables != nullptr && !rows.empty() ? tables->WindowOf(simulation) : nullptr;
        if (window == nullptr) {
            return false;
        }
        const std::size_t i = FirstRowFrom(window->rowSet, window->firstRow);
        if (i == rows.size() || rows[i].rowSet != window->rowSet ||
            rows[i].row >= window->firstRow + window->rowCount) {
            return false;
        }
        foundPosition = rows[i].position;
        foundFile = tables->Set(window->rowSet).fileIndex;
    }
    if (position != nullptr) {
        *position = foundPosition;
    }
    if (fileIndex != nullptr) {
        *fileIndex = foundFile;
    }
    return true;
}

std::vector<BlockLocation>
DataTypeEntry::FirstLocations(const std::vector<rxSimulation*>& simulations) const {
    std::vector<BlockLocation> found(simulations.size());
    const bool windowed = tables != nullptr && !rows.empty();
    std::size_t nextWindow = 0; // the window the next simulation is likely to have
    // Per row set, where the next window's first row is likely to be: the
    // windows of one set come in row order as a rule, but sets alternate.
    constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);
    std::vector<std::size_t> nextRow(windowed ? tables->RowSetCount() : 0, kUnknown);
    for (std::size_t s = 0; s < simulations.size(); ++s) {
        rxSimulation* simulation = simulations[s];
        if (!firstLocation.empty()) {
            const auto registered = firstLocation.find(simulation);
            if (registered != firstLocation.end()) {
                found[s] = locations[registered->second];
                found[s].simulation = simulation;
                continue;
            }
        }
        if (!windowed) {
            continue;
        }
        const auto& windows = tables->Windows();
        const ScannedTables::Window* window = nullptr;
        if (nextWindow < windows.size() && windows[nextWindow].first == simulation) {
            window = &windows[nextWindow].second;
            ++nextWindow;
        } else {
            window = tables->WindowOf(simulation);
        }
        if (window == nullptr || window->rowSet >= nextRow.size()) {
            continue;
        }
        const Row key{window->rowSet, 0, window->firstRow};
        std::size_t& guess = nextRow[window->rowSet];
        std::size_t i = guess;
        const bool lowerBound = i != kUnknown && (i == 0 || Before(rows[i - 1], key)) &&
                                (i == rows.size() || !Before(rows[i], key));
        if (!lowerBound) {
            i = FirstRowFrom(window->rowSet, window->firstRow);
        }
        guess = i;
        if (i == rows.size() || rows[i].rowSet != window->rowSet ||
            rows[i].row >= window->firstRow + window->rowCount) {
            continue;
        }
        found[s] =
            BlockLocation{simulation, rows[i].position, tables->Set(window->rowSet).fileIndex};
        guess = i + 1;
    }
    return found;
}
