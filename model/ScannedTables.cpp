#include "model/ScannedTables.h"

#include <algorithm>
#include <iterator>

uint32_t ScannedTables::RowSetFor(int32_t fileIndex, int64_t origin, int32_t rowBytes) {
    const auto key = std::make_tuple(fileIndex, rowBytes, origin);
    const auto found = setOf.find(key);
    if (found != setOf.end()) {
        return found->second;
    }
    const auto id = static_cast<uint32_t>(rowSets.size());
    rowSets.push_back(RowSet{fileIndex, origin, rowBytes});
    covered.emplace_back();
    setOf.emplace(key, id);
    return id;
}

std::vector<ScannedTables::Run> ScannedTables::AddWindow(rxSimulation* simulation,
                                                         int32_t fileIndex, int64_t position,
                                                         int32_t rowBytes, int64_t rowCount) {
    std::vector<Run> runs;
    if (rowBytes <= 0 || position < 0 || rowCount <= 0 || windowOf.count(simulation) != 0) {
        return runs;
    }
    const uint32_t set = RowSetFor(fileIndex, position % rowBytes, rowBytes);
    const int64_t first = position / rowBytes;
    const int64_t end = first + rowCount;
    windows.emplace_back(simulation, Window{set, first, rowCount});
    windowOf.emplace(simulation, windows.size() - 1);

    // Walk the covered intervals that overlap or touch [first, end): the gaps
    // between them are the new rows, and all of them merge into one.
    Intervals& intervals = covered[set];
    auto it = intervals.upper_bound(first);
    if (it != intervals.begin() && std::prev(it)->second >= first) {
        --it;
    }
    int64_t cursor = first;
    int64_t mergedFirst = first;
    int64_t mergedEnd = end;
    while (it != intervals.end() && it->first <= end) {
        if (it->first > cursor) {
            runs.push_back(Run{set, cursor, it->first - cursor});
        }
        cursor = std::max(cursor, it->second);
        mergedFirst = std::min(mergedFirst, it->first);
        mergedEnd = std::max(mergedEnd, it->second);
        it = intervals.erase(it);
    }
    if (cursor < end) {
        runs.push_back(Run{set, cursor, end - cursor});
    }
    intervals.emplace(mergedFirst, mergedEnd);
    for (const Run& run : runs) {
        coveredRows += run.count;
    }
    return runs;
}

const ScannedTables::Window* ScannedTables::WindowOf(const rxSimulation* simulation) const {
    const auto found = windowOf.find(simulation);
    return found != windowOf.end() ? &windows[found->second].second : nullptr;
}

void ScannedTables::Clear() noexcept {
    rowSets.clear();
    covered.clear();
    setOf.clear();
    windows.clear();
    windowOf.clear();
    coveredRows = 0;
}
