// Reading back what the writer wrote, plainly: every file of the series
// through the reader's file layer (ResFileSet), every table and every block
// record as stored. Used by the writer's tests as the obviously correct
// counterpart of the writer.
#pragma once

#include "fileio/ResFileSet.h"
#include "fileio/ResKind.h"
#include "fileio/ResLayout.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace writertest {

struct StoredBlock {
    std::string name;
    std::int32_t kind = 0;
    std::vector<std::int32_t> ids;
    std::vector<float> reals;
};

struct StoredSimulation {
    std::string label;
    int fileIndex = 0;
    std::vector<StoredBlock> blocks;
};

struct StoredResult {
    bool opened = false;
    std::vector<std::string> files;
    std::vector<std::string> titles;
    std::vector<std::int64_t> sizes;
    std::vector<StoredSimulation> simulations;
};

inline StoredResult ReadStored(const std::string& path) {
    StoredResult result;
    ResFileSet files;
    if (!files.OpenFile(path)) {
        return result;
    }
    result.opened = true;
    for (int f = 0; f < files.GetNumSeriesFiles(); ++f) {
        const std::string name = files.GetSeriesFileName(f);
        result.files.push_back(name);
        if (!files.OpenFile(name)) {
            continue;
        }
        result.sizes.push_back(files.BytesRemaining());
        char text[reslayout::kHeaderTextWidth];
        files.ReadBytes(text, reslayout::kTitleWidth);
        files.ReadBytes(text, reslayout::kHeaderTextWidth);
        result.titles.push_back(reslayout::FieldText(text, reslayout::kHeaderTextWidth));
        files.ReadBytes(text, reslayout::kHeaderTextWidth);
        std::int32_t count = 0;
        files.ReadInt(&count);
        std::vector<std::int32_t> tables;
        const std::size_t first = result.simulations.size();
        for (std::int32_t s = 0; s < count; ++s) {
            char label[reslayout::kLabelWidth];
            std::int32_t table = 0;
            files.ReadBytes(label, reslayout::kLabelWidth);
            files.ReadInt(&table);
            StoredSimulation simulation;
            simulation.label = reslayout::FieldText(label, reslayout::kLabelWidth);
            simulation.fileIndex = f;
            result.simulations.push_back(simulation);
            tables.push_back(table);
        }
        for (std::size_t s = 0; s < tables.size(); ++s) {
            files.SeekTo(tables[s]);
            std::int32_t rows = 0;
            files.ReadInt(&rows);
            std::vector<std::pair<StoredBlock, std::int32_t>> entries;
            for (std::int32_t r = 0; r < rows; ++r) {
                char rowName[reslayout::kNameWidth];
                StoredBlock block;
                std::int32_t position = 0;
                files.ReadBytes(rowName, reslayout::kNameWidth);
                files.ReadInt(&block.kind);
                files.ReadInt(&position);
                block.name = reslayout::FieldText(rowName, reslayout::kNameWidth);
                entries.emplace_back(block, position);
            }
            for (auto& [block, position] : entries) {
                files.SeekTo(position);
                std::int32_t records = 0;
                files.ReadInt(&records);
                const int reals = ResKind::Of(block.kind).realsPerRecord;
                for (std::int32_t r = 0; r < records; ++r) {
                    std::int32_t id = 0;
                    files.ReadInt(&id);
                    block.ids.push_back(id);
                    for (int v = 0; v < reals; ++v) {
                        float value = 0;
                        files.ReadReal(&value);
                        block.reals.push_back(value);
                    }
                }
                result.simulations[first + s].blocks.push_back(block);
            }
        }
        files.CloseFile();
    }
    return result;
}

inline std::uint32_t Bits(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline float FromBits(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace writertest
