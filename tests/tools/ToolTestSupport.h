// Helpers for the kvres-tool tests: writing a .res file into a temporary
// folder, running the tool and parsing its JSON, and the phase conversion the
// complex reads apply, so expectations are computed from the stored reals.
#pragma once

#include "JsonValue.h"
#include "ResWriter.h"
#include "TempDir.h"
#include "ToolRunner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tooltest {

// Writes `file` as `name` into `dir` and returns its path.
inline std::string WriteRes(const reswriter::TempDir& dir, const std::string& name,
                            const reswriter::ResFile& file) {
    const std::string path = dir.File(name);
    reswriter::WriteFile(path, reswriter::Write(file));
    return path;
}

// Runs the tool, expects exit code `expectedExit` and a JSON document on
// standard output, and returns it parsed.
inline JsonValue RunJson(const std::vector<std::string>& arguments, int expectedExit = 0) {
    const ToolRun run = ToolRunner::Run(arguments);
    EXPECT_EQ(run.exitCode, expectedExit) << run.err;
    JsonValue document;
    std::string error;
    EXPECT_TRUE(JsonValue::Parse(run.out, document, error)) << error << "\n" << run.out;
    return document;
}

// Degrees as the plug-in hands them to the host: radians in single precision.
inline float Radians(float degrees) {
    return static_cast<float>(static_cast<double>(degrees) * 0.01745329238474369);
}

// The number of lines of `text` (its line feeds).
inline std::size_t LineCount(const std::string& text) {
    std::size_t lines = 0;
    for (char c : text) {
        lines += c == '\n' ? 1 : 0;
    }
    return lines;
}

} // namespace tooltest
