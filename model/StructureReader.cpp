#include "model/StructureReader.h"

#include "fileio/ResEncoding.h"
#include "fileio/ResLayout.h"

#include <algorithm>
#include <limits>

StructureReader::StructureReader(ResFileSet& files, int64_t size)
    : files(files), size(size < 0 ? files.BytesRemaining() : size), intSize(files.IntItemSize()),
      rowBytes(static_cast<int32_t>(reslayout::RowBytes(intSize))) {}

bool StructureReader::MoveTo(int64_t position) {
    if (position != cursor) {
        cursor = -1;
        if (position < 0 || position > std::numeric_limits<int32_t>::max() ||
            !files.SeekTo(static_cast<int32_t>(position))) {
            return false;
        }
        cursor = position;
    }
    return true;
}

StructureReader::Status StructureReader::ReadCount(int64_t position, int32_t& count) {
    if (position < 0 || position >= size) {
        return Status::Unreachable;
    }
    if (size - position < intSize || !MoveTo(position) || files.ReadInt(&count) != 1) {
        cursor = -1;
        return Status::CountUnreadable;
    }
    cursor = position + intSize;
    return count < 0 ? Status::NegativeCount : Status::Ok;
}

StructureReader::Header StructureReader::ReadHeader() {
    Header header;
    char text[reslayout::kHeaderTextWidth];
    const auto field = [&](int width, std::string& out) {
        const bool whole = files.ReadBytes(text, width) == width;
        out = reslayout::FieldText(text, whole ? width : 0);
        return whole;
    };
    const bool whole = MoveTo(0) && field(reslayout::kTitleWidth, header.title) &&
                       field(reslayout::kHeaderTextWidth, header.text1) &&
                       field(reslayout::kHeaderTextWidth, header.text2) &&
                       files.ReadInt(&header.simulationCount) == 1;
    for (int32_t i = 0; whole && i < header.simulationCount; ++i) {
        Simulation simulation;
        if (!field(reslayout::kLabelWidth, simulation.label) ||
            files.ReadInt(&simulation.tablePosition) != 1) {
            break;
        }
        header.simulations.push_back(std::move(simulation));
    }
    cursor = -1;
    return header;
}

StructureReader::Table StructureReader::ReadTable(int64_t position) {
    Table table;
    table.firstRow = position + intSize;
    table.status = ReadCount(position, table.storedRows);
    if (table.status == Status::Ok) {
        const int64_t fit = table.firstRow < size ? (size - table.firstRow) / rowBytes : 0;
        table.wholeRows = std::min<int64_t>(table.storedRows, fit);
        table.status = table.wholeRows < table.storedRows ? Status::CutShort : Status::Ok;
    }
    return table;
}

bool StructureReader::ReadPiece(int64_t position, int64_t count) {
    piece.clear();
    count = std::min<int64_t>(count, std::max(1, kPieceBytes / rowBytes));
    if (count > (size - std::min(position, size)) / rowBytes || !MoveTo(position)) {
        return false;
    }
    const int length = static_cast<int>(count * rowBytes);
    bytes.resize(static_cast<std::size_t>(length));
    cursor = -1;
    if (files.ReadBytes(bytes.data(), length) != length) {
        return false;
    }
    cursor = position + length;
    const IntEncoding ints = files.GetIntEncoding();
    const bool bigEndian = files.BigEndian();
    for (const unsigned char* row = bytes.data(); row != bytes.data() + length; row += rowBytes) {
        piece.push_back(
            {reslayout::FieldText(reinterpret_cast<const char*>(row), reslayout::kNameWidth),
             DecodeIntItem(row + reslayout::kNameWidth, ints, bigEndian),
             DecodeIntItem(row + reslayout::kNameWidth + intSize, ints, bigEndian)});
    }
    return true;
}

StructureReader::Block StructureReader::ReadBlock(int64_t position, int64_t recordBytes) {
    Block block;
    block.bytesAvailable = position >= 0 && position < size ? size - position : 0;
    block.status = ReadCount(position, block.storedCount);
    if (block.status == Status::Ok) {
        block.bytesNeeded = intSize + block.storedCount * recordBytes;
        block.wholeRecords =
            std::min<int64_t>(block.storedCount, (block.bytesAvailable - intSize) / recordBytes);
        block.status = block.wholeRecords < block.storedCount ? Status::CutShort : Status::Ok;
    }
    cursor = -1; // the caller may read its records
    return block;
}
