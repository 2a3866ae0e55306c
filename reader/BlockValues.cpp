#include "BlockValues.h"

#include <cstring>

int32_t BlockValues::FillPacked(unsigned char* records) {
    const int32_t delivered = block.ReadPackedRecords(records, block.ReadableCount());
    if (read.HasPhases()) {
        const std::size_t stride = RecordReader::PackedRecordBytes(read.RecordReals());
        unsigned char* window = records + 4 + 4 * static_cast<std::size_t>(ValueColumn());
        float reals[2];
        for (int32_t i = 0; i < delivered; ++i, window += stride) {
            std::memcpy(reals, window, sizeof reals);
            read.PhasesToRadians(reals);
            std::memcpy(window, reals, sizeof reals);
        }
    }
    return delivered;
}

int32_t BlockValues::Fill(int32_t* ids, float* values) {
    const std::size_t width = static_cast<std::size_t>(read.Floats());
    std::size_t k = 0;
    return block.ForEachRecord(
        [&](int32_t id, const float* reals) {
            ids[k] = id;
            read.Deliver(reals, values + k * width);
            ++k;
        },
        read.Window());
}
