#include "BlockValues.h"

#include "model/PhaseConversion.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Reals each record holds for the read: what the data sets consume.
int RealsPerRecord(BlockValues::Form form, const DataSetShape& shape, bool magnitudesOnly) {
    switch (form) {
    case BlockValues::Form::RealVector:
        return 3;
    case BlockValues::Form::ComplexVector:
        return magnitudesOnly ? 3 : 6;
    case BlockValues::Form::RealScalar:
    case BlockValues::Form::ComplexScalar:
        return shape.componentCount;
    }
    return 0;
}

} // namespace

BlockValues::Form BlockValues::FormOf(const DataSetShape& shape, bool complexRead) {
    if (shape.form == DataSetShape::Vector) {
        return complexRead ? Form::ComplexVector : Form::RealVector;
    }
    return complexRead ? Form::ComplexScalar : Form::RealScalar;
}

BlockValues::BlockValues(ResFileSet& files, int32_t fileIndex, int32_t position,
                         const DataSetShape& shape, bool complexRead, bool magnitudesOnly)
    : form(FormOf(shape, complexRead)), shape(shape), magnitudesOnly(magnitudesOnly),
      realsPerRecord(RealsPerRecord(form, shape, magnitudesOnly)),
      block(files, fileIndex, position, realsPerRecord) {}

int BlockValues::FloatsPerEntity() const {
    switch (form) {
    case Form::RealScalar:
        return 1;
    case Form::RealVector:
        return 3;
    case Form::ComplexScalar:
        return 2;
    case Form::ComplexVector:
        return 6;
    }
    return 1;
}

bool BlockValues::RecordsAreValues() const {
    switch (form) {
    case Form::RealVector:
        return true;
    case Form::RealScalar:
        return shape.componentCount == 1;
    case Form::ComplexScalar:
        return shape.componentCount == 2;
    case Form::ComplexVector:
        return false;
    }
    return false;
}

bool BlockValues::Packed() const {
    switch (form) {
    case Form::RealScalar:
    case Form::RealVector:
        return true;
    case Form::ComplexScalar:
        return shape.componentCount == 2;
    case Form::ComplexVector:
        return false;
    }
    return false;
}

int32_t BlockValues::FillPacked(unsigned char* records) {
    const int32_t delivered = block.ReadPackedRecords(records, block.ReadableCount());
    if (form == Form::ComplexScalar) {
        // Record: id, magnitude, phase.
        const std::size_t stride = 4 + 4 * static_cast<std::size_t>(realsPerRecord);
        unsigned char* phaseBytes = records + 8;
        for (int32_t i = 0; i < delivered; ++i, phaseBytes += stride) {
            float phase;
            std::memcpy(&phase, phaseBytes, sizeof phase);
            phase = DegreesToRadians(phase);
            std::memcpy(phaseBytes, &phase, sizeof phase);
        }
    }
    return delivered;
}

int32_t BlockValues::Fill(int32_t* ids, float* values) {
    const int32_t readable = block.ReadableCount();
    if (RecordsAreValues()) {
        // The records' reals are the values already: read them in place.
        const int32_t delivered = block.ReadRecords(ids, values, readable);
        if (form == Form::ComplexScalar) {
            for (int32_t i = 0; i < delivered; ++i) {
                float& phase = values[2 * static_cast<std::size_t>(i) + 1];
                phase = DegreesToRadians(phase);
            }
        }
        return delivered;
    }
    // Otherwise through a buffer of a few thousand records at a time.
    constexpr int32_t kChunkRecords = 4096;
    std::vector<float> reals(static_cast<std::size_t>(kChunkRecords) * realsPerRecord);
    const int width = FloatsPerEntity();
    int32_t delivered = 0;
    while (delivered < readable) {
        const int32_t asked = std::min(kChunkRecords, readable - delivered);
        const int32_t arrived = block.ReadRecords(ids + delivered, reals.data(), asked);
        for (int32_t i = 0; i < arrived; ++i) {
            Decode(reals.data() + static_cast<std::size_t>(i) * realsPerRecord,
                   values + static_cast<std::size_t>(delivered + i) * width);
        }
        delivered += arrived;
        if (arrived < asked) {
            break;
        }
    }
    return delivered;
}

// One record's reals as the data set hands them to the host.
void BlockValues::Decode(const float* reals, float* value) const {
    switch (form) {
    case Form::RealScalar:
        value[0] = reals[shape.componentIndex];
        return;
    case Form::RealVector:
        value[0] = reals[0];
        value[1] = reals[1];
        value[2] = reals[2];
        return;
    case Form::ComplexScalar:
        // Only a record of two reals carries a phase.
        value[0] = reals[shape.componentIndex];
        value[1] =
            shape.componentCount == 2 ? DegreesToRadians(reals[shape.componentIndex + 1]) : 0.0f;
        return;
    case Form::ComplexVector:
        if (magnitudesOnly) {
            value[0] = reals[0];
            value[1] = reals[1];
            value[2] = reals[2];
            value[3] = value[4] = value[5] = 0.0f;
        } else {
            value[0] = reals[0];
            value[1] = reals[2];
            value[2] = reals[4];
            value[3] = DegreesToRadians(reals[1]);
            value[4] = DegreesToRadians(reals[3]);
            value[5] = DegreesToRadians(reals[5]);
        }
        return;
    }
}
