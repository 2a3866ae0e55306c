// The series target: an input becomes up to four sibling files (SeriesInput)
// in a private memory-backed folder, and the host's whole road runs through
// the plug-in's exported entry point: SupplyReaderFunctionTable, the
// identification callback, the creation callback with a counting allocator,
// the scan, the data types, their entity ids, both reads of every data set
// and the releases. Afterwards the allocator must have every block back.
#include "CountingAllocator.h"
#include "FuzzEntries.h"
#include "ReaderPromises.h"
#include "SeriesInput.h"
#include "TempDir.h"

#include "plugin/ReaderExport.h"

#include "rxObject.h"
#include "rxReaderRecord.h"
#include "rxResult.h"

#include <algorithm>
#include <cstring>

namespace kvresfuzz {

namespace {

// Every name SeriesInput can give a file, in either option.
const char* const kAllNames[] = {"run.res", "run0.res", "RUN0.RES", "run1.res", "run12.res"};

// Lays the files of `input` out in `folder`, removing those it does not
// name; the sizes of the largest file and of all files together.
bool LayOut(reswriter::TempDir& folder, const SeriesInput& input, ReaderPromiseLimits& limits) {
    bool placed[SeriesInput::kMaxFiles] = {};
    for (std::size_t i = 0; i < input.files.size(); ++i) {
        const std::vector<std::uint8_t>& bytes = input.files[i];
        if (!folder.Put(input.FileName(i), bytes.data(), bytes.size())) {
            return false;
        }
        placed[i] = true;
        const auto size = static_cast<std::int64_t>(bytes.size());
        limits.largestFile = std::max(limits.largestFile, size);
        limits.allFiles += size;
    }
    for (const char* name : kAllNames) {
        bool used = false;
        for (std::size_t i = 0; i < input.files.size(); ++i) {
            used = used || (placed[i] && input.FileName(i) == name);
        }
        if (!used) {
            folder.Remove(name);
        }
    }
    return true;
}

} // namespace

int SeriesOneInput(const std::uint8_t* data, std::size_t size) {
    static reswriter::TempDir folder(reswriter::TempDir::Place::MemoryWherePossible);
    const SeriesInput input = SeriesInput::Parse(data, size);
    ReaderPromiseLimits limits;
    if (!LayOut(folder, input, limits)) {
        return 0;
    }
    // The path the host opens, made once for each setting of the two
    // options that choose it.
    static std::string opened[4];
    const unsigned choice =
        input.options & (SeriesInput::kOpenNumberedMember | SeriesInput::kUpperCaseMember);
    if (opened[choice].empty()) {
        opened[choice] = folder.File(input.OpenedName());
    }
    const std::string& path = opened[choice];

    rxReaderRecord record;
    std::memset(&record, 0xCD, sizeof record);
    if (!SupplyReaderFunctionTable(&record) || record.identifyFile == nullptr ||
        record.createResult == nullptr || record.reserved != nullptr) {
        FuzzFailure("SupplyReaderFunctionTable: the record is not filled in");
    }
    record.identifyFile(path.c_str());

    // One allocator for every input: its record of the blocks reuses its
    // memory. Every input must give every block back.
    static CountingAllocator allocator;
    {
        rxResult* result = record.createResult(path.c_str(), &allocator);
        if (result != nullptr) {
            CheckReaderPromises(result, limits);
            result->Release();
        }
    }
    rxObject::Allocator(nullptr);
    if (allocator.OutstandingBlocks() != 0) {
        FuzzFailure("host allocator: blocks are still held after every release");
    }
    return 0;
}

} // namespace kvresfuzz
