// SeriesNames: the naming rule of a result series (run.res, then run0.res to
// run9.res): how a file name splits into stem and extension, and which
// directory entries belong to the series of a stem. Pure string work, inline,
// so the reader's discovery and the writer's continuation and clean-up files
// share one rule. Touches no file system.
#pragma once

#include "fileio/AsciiCase.h"

#include <cstddef>
#include <string>

// The parts of a file name: the stem is everything before the last '.', the
// extension the rest including the '.'; without a '.' the extension is empty.
inline void SplitFileName(const std::string& name, std::string& stem, std::string& extension) {
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos) {
        stem = name;
        extension.clear();
    } else {
        stem = name.substr(0, dot);
        extension = name.substr(dot);
    }
}

// Whether `c` is a decimal digit 0-9.
inline bool IsSeriesDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether the directory entry `name` belongs to the series of `stem` and
// `extension`: its own stem, less one trailing digit if it has one, equals
// `stem` and its extension equals `extension`, ignoring ASCII letter case.
inline bool IsSeriesMember(const std::string& name, const std::string& stem,
                           const std::string& extension) {
    std::string ownStem;
    std::string ownExtension;
    SplitFileName(name, ownStem, ownExtension);
    if (!ownStem.empty() && IsSeriesDigit(ownStem.back())) {
        ownStem.pop_back();
    }
    return asciicase::Equal(ownStem, stem) && asciicase::Equal(ownExtension, extension);
}

// Whether a file named `name` is read on its own rather than as the base of
// a series: its stem ends in a digit.
inline bool NamesSingleFile(const std::string& name) {
    std::string stem;
    std::string extension;
    SplitFileName(name, stem, extension);
    return !stem.empty() && IsSeriesDigit(stem.back());
}
