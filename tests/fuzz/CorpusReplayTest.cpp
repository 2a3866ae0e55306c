// Replays every checked-in fuzz input, fuzz/corpus/TARGET/*, through the
// entry function of its target: every past finding stays fixed, with this
// build's compiler (and sanitizers, in make test-sanitize) and without
// libFuzzer. A fault aborts the test's process with the target's own message.
#include "FuzzEntries.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using Entry = int (*)(const std::uint8_t*, std::size_t);

struct Target {
    const char* name;
    Entry entry;
};

const Target kTargets[] = {
    {"series", &kvresfuzz::SeriesOneInput},
    {"single_file", &kvresfuzz::SingleFileOneInput},
    {"label_number", &kvresfuzz::LabelNumberOneInput},
    {"scan_reference", &kvresfuzz::ScanReferenceOneInput},
    {"write_read", &kvresfuzz::WriteReadOneInput},
#if KVRES_FUZZ_JSON_TEXT
    {"json_text", &kvresfuzz::JsonTextOneInput},
#endif
};

std::vector<fs::path> CorpusFiles(const Target& target) {
    const fs::path folder = fs::path(KVRES_FUZZ_CORPUS_DIR) / target.name;
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->is_regular_file()) {
            files.push_back(it->path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string TestName(const testing::TestParamInfo<const Target*>& info) {
    std::string name = info.param->name;
    name.erase(std::remove(name.begin(), name.end(), '_'), name.end());
    return name;
}

class CorpusReplay : public testing::TestWithParam<const Target*> {};

// One test per target, so that a thousand small inputs cost one process
// each, not a thousand. Each file's name is printed before it runs: a fault
// aborts the process, and the output of the failed test then ends with the
// input that caused it.
TEST_P(CorpusReplay, EveryInputRunsWithoutFault) {
    const Target& target = *GetParam();
    const std::vector<fs::path> files = CorpusFiles(target);
    EXPECT_FALSE(files.empty()) << "fuzz/corpus/" << target.name << " holds no input";
    for (const fs::path& file : files) {
        std::printf("replaying %s\n", file.string().c_str());
        std::fflush(stdout);
        std::ifstream in(file, std::ios::binary);
        ASSERT_TRUE(in) << file;
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                              std::istreambuf_iterator<char>());
        EXPECT_EQ(0, target.entry(bytes.data(), bytes.size())) << file;
    }
}

std::vector<const Target*> AllTargets() {
    std::vector<const Target*> targets;
    for (const Target& target : kTargets) {
        targets.push_back(&target);
    }
    return targets;
}

INSTANTIATE_TEST_SUITE_P(FuzzCorpus, CorpusReplay, testing::ValuesIn(AllTargets()), TestName);

} // namespace
