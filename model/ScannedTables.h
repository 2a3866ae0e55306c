// ScannedTables: the data-type tables that the structure scan read, held as
// windows over rows that are stored once. A row is identified by its file
// and its byte position; rows whose positions lie a whole number of rows
// apart in one file form one row set (row k of a set starts at its origin
// plus k rows), so tables that overlap one another, at one position or rows
// apart, are windows over the same rows. Each simulation has at most one
// window, [firstRow, firstRow + rowCount) of one row set; Cover tells which
// rows of a new window no earlier window of its set covered, so that the
// scan reads every row once however many tables hold it. It reads no files
// and knows nothing of what a row holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

class rxSimulation;

class ScannedTables {
public:
    struct Window {
        uint32_t rowSet = 0;
        int64_t firstRow = 0;
        int64_t rowCount = 0;
    };

    struct RowSet {
        int32_t fileIndex = 0;
        int64_t origin = 0; // byte position of row 0, less than rowBytes
        int32_t rowBytes = 0;
    };

    // Rows of one set that the scan has to read: [firstRow, firstRow + count).
    struct Run {
        uint32_t rowSet = 0;
        int64_t firstRow = 0;
        int64_t count = 0;
    };

    // Gives `simulation` the table of `rowCount` rows (at least 1) of
    // `rowBytes` bytes each starting at byte `position` (0 or more) of file
    // `fileIndex`. Returns the runs of its rows that no earlier window
    // covered, in row order; they count as covered from now on. A simulation
    // given a window before keeps its first one and gets no runs.
    std::vector<Run> AddWindow(rxSimulation* simulation, int32_t fileIndex, int64_t position,
                               int32_t rowBytes, int64_t rowCount);

    // The window of `simulation`, or null when it has none.
    const Window* WindowOf(const rxSimulation* simulation) const;

    // Every simulation with a window, in the order the windows were added.
    const std::vector<std::pair<rxSimulation*, Window>>& Windows() const { return windows; }

    const RowSet& Set(uint32_t rowSet) const { return rowSets[rowSet]; }
    // Row sets there are: ids run from 0 to this, not included.
    std::size_t RowSetCount() const { return rowSets.size(); }
    // The byte position of row `row` of `rowSet`.
    int64_t RowPosition(uint32_t rowSet, int64_t row) const {
        return rowSets[rowSet].origin + row * rowSets[rowSet].rowBytes;
    }

    // Rows covered by windows, each counted once.
    int64_t CoveredRows() const { return coveredRows; }

    void Clear() noexcept;

private:
    // The covered rows of one set as disjoint intervals [first, end), keyed
    // by first, with no two touching.
    using Intervals = std::map<int64_t, int64_t>;

    uint32_t RowSetFor(int32_t fileIndex, int64_t origin, int32_t rowBytes);

    std::vector<RowSet> rowSets;
    std::vector<Intervals> covered;
    std::map<std::tuple<int32_t, int32_t, int64_t>, uint32_t> setOf; // (file, row bytes, origin)
    std::vector<std::pair<rxSimulation*, Window>> windows;
    std::unordered_map<const rxSimulation*, std::size_t> windowOf;
    int64_t coveredRows = 0;
};
