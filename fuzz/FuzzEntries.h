// FuzzEntries: the entry function of every fuzz target. Each takes one input
// as libFuzzer hands it over and returns 0; a fault (a sanitizer report, an
// unbalanced allocator, two answers that disagree) aborts the process with a
// line saying what went wrong. The libFuzzer programs call one of them per
// input, and the corpus replay in the tests calls them on every checked-in
// input, so both see exactly the same code.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvresfuzz {

// Up to four sibling files (a series and a non-member) through the plug-in's
// entry point, with a counting allocator that must balance afterwards.
int SeriesOneInput(const std::uint8_t* data, std::size_t size);
// One file through the result object, every read in both forms.
int SingleFileOneInput(const std::uint8_t* data, std::size_t size);
// One file's structure and values through the result object against a plain
// reading straight from the bytes (ScanReference).
int ScanReferenceOneInput(const std::uint8_t* data, std::size_t size);
// The sync value of a label against a plain reference of the same grammar.
int LabelNumberOneInput(const std::uint8_t* data, std::size_t size);
// The tool's JSON string escaping and float text must parse back exactly.
int JsonTextOneInput(const std::uint8_t* data, std::size_t size);
// A random result through the writer, or a random readable file through the
// copier, read back plainly: what is accepted reads back as given.
int WriteReadOneInput(const std::uint8_t* data, std::size_t size);

// Aborts with `what` on standard error; the one way a target reports a fault
// that no sanitizer sees.
[[noreturn]] void FuzzFailure(const char* what);

} // namespace kvresfuzz
