// Helpers for the kvres-tool tests: writing a .res file into a temporary
// folder, running the tool and parsing its JSON, and the phase conversion the
// complex reads apply, so expectations are computed from the stored reals.
#pragma once

#include "ResWriter.h"
#include "TempDir.h"
#include "ToolRunner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

// The tool's JSON as the tests read it: objects keep their keys in the order
// written (the order is part of the contract), and numbers with a fraction or
// an exponent are parsed straight to 32-bit floats, as the tool's shortest
// float texts are meant to be read back.
using Json = nlohmann::basic_json<nlohmann::ordered_map, std::vector, std::string, bool,
                                  std::int64_t, std::uint64_t, float>;

namespace tooltest {

// Parses `text` as one JSON document; false with `error` set when it is not.
inline bool ParseJson(const std::string& text, Json& value, std::string& error) {
    try {
        value = Json::parse(text);
        return true;
    } catch (const Json::exception& problem) {
        error = problem.what();
        return false;
    }
}

// An object's keys in the order written.
inline std::vector<std::string> Keys(const Json& object) {
    std::vector<std::string> keys;
    for (const auto& member : object.items()) {
        keys.push_back(member.key());
    }
    return keys;
}

// A string's bytes as the tool took them from the file, for texts that hold
// no valid UTF-8 sequence beyond ASCII: the tool writes each control and each
// such byte as \u00XX, which the parser turns into the UTF-8 of that code
// point, so code points up to U+00FF become that one byte again. (Valid UTF-8
// is written as it is, and would read back as itself.)
inline std::string Bytes(const Json& text) {
    const std::string utf8 = text.get<std::string>();
    std::string bytes;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        if ((lead == 0xC2 || lead == 0xC3) && i + 1 < utf8.size()) {
            bytes += static_cast<char>(((lead & 0x03) << 6) | (utf8[++i] & 0x3F));
        } else {
            bytes += static_cast<char>(lead);
        }
    }
    return bytes;
}

// Writes `file` as `name` into `dir` and returns its path.
inline std::string WriteRes(const reswriter::TempDir& dir, const std::string& name,
                            const reswriter::ResFile& file) {
    const std::string path = dir.File(name);
    reswriter::WriteFile(path, reswriter::Write(file));
    return path;
}

// Runs the tool, expects exit code `expectedExit` and a JSON document on
// standard output, and returns it parsed.
inline Json RunJson(const std::vector<std::string>& arguments, int expectedExit = 0) {
    const ToolRun run = ToolRunner::Run(arguments);
    EXPECT_EQ(run.exitCode, expectedExit) << run.err;
    Json document;
    std::string error;
    EXPECT_TRUE(ParseJson(run.out, document, error)) << error << "\n" << run.out;
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
