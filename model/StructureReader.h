// StructureReader: reads the structure of one open file of a .res set
// through ResFileSet: the header with the simulation table, a data-type
// table's count word and its rows, and a block's count word measured against
// the file's size. Every answer is a value that tells what was read and,
// where the reading stopped, why (a Status), so that the plug-in's scan and
// `kvres-tool check` walk the same structure. It reads no record values,
// builds nothing for the host and decides nothing about what the host shows.
#pragma once

#include "fileio/ResFileSet.h"
#include "model/StructureStatus.h"

#include <cstdint>
#include <string>
#include <vector>

class StructureReader {
public:
    // Why a table or a block ends where it does: Ok, CutShort (the file
    // ends inside it: wholeRows/wholeRecords say how much is whole),
    // Unreachable, CountUnreadable or NegativeCount.
    using Status = StructureStatus;

    struct Simulation {
        std::string label;
        int32_t tablePosition = 0;
    };
    struct Header {
        std::string title, text1, text2;
        int32_t simulationCount = 0;
        // The whole entries of the simulation table (none when the header is
        // cut short), which ends at the first entry cut short.
        std::vector<Simulation> simulations;
    };
    struct Table {
        Status status = Status::Unreachable;
        int32_t storedRows = 0;
        int64_t firstRow = 0;  // byte position of row 0
        int64_t wholeRows = 0; // rows that lie whole in the file, at most storedRows
    };
    struct Row {
        std::string name; // as stored
        int32_t kind = 0;
        int32_t blockPosition = 0;
    };
    struct Block {
        Status status = Status::Unreachable;
        int32_t storedCount = 0;
        int64_t bytesAvailable = 0; // from its position to the end of the file
        int64_t bytesNeeded = 0;    // the count word and every stored record
        int64_t wholeRecords = 0;
    };

    // `files` has a file open of `size` bytes; by default it was just
    // opened and the reader measures it now.
    explicit StructureReader(ResFileSet& files, int64_t size = -1);

    int64_t Size() const { return size; }
    int32_t RowBytes() const { return rowBytes; }

    Header ReadHeader();
    Table ReadTable(int64_t position);
    // Calls visit(row) for each of the `count` rows from byte `position`, in
    // order, reading a bounded piece of the file at a time; false when they
    // could not all be read whole.
    template <class Visit> bool ForEachRow(int64_t position, int64_t count, Visit&& visit) {
        for (int64_t done = 0; done < count; done += static_cast<int64_t>(piece.size())) {
            if (!ReadPiece(position + done * rowBytes, count - done)) {
                return false;
            }
            for (const Row& row : piece) {
                visit(row);
            }
        }
        return count >= 0;
    }
    // Measures the block at `position` whose records are `recordBytes` long;
    // when it has a count, the file is left standing at its first record.
    Block ReadBlock(int64_t position, int64_t recordBytes);

private:
    bool MoveTo(int64_t position);
    // Up to a piece of the `count` rows from byte `position` into `piece`.
    bool ReadPiece(int64_t position, int64_t count);
    // The count word at `position`; Ok when it is read and not negative.
    Status ReadCount(int64_t position, int32_t& count);

    ResFileSet& files;
    int64_t size;
    int32_t intSize;
    int32_t rowBytes;
    int64_t cursor = -1; // where the file stands, or -1 when unknown
    std::vector<unsigned char> bytes;
    std::vector<Row> piece;
    static constexpr int kPieceBytes = 65536;
};
