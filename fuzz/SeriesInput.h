// SeriesInput: how one fuzz input stands for the files of a series. The first
// byte holds options; then up to four files follow, each as a two-byte
// little-endian length and that many bytes (a length beyond the end takes
// what is left). The files are, in this order, run.res, run0.res (RUN0.RES
// when option bit 1 is set), run1.res and run12.res, which is a sibling but
// no member of the series. Option bit 0 makes the host open run0.res instead
// of run.res. Parse and Pack are exact inverses for inputs Pack made; any
// byte string parses. It does not write files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class SeriesInput {
public:
    static constexpr std::size_t kMaxFiles = 4;
    static constexpr std::uint8_t kOpenNumberedMember = 0x01;
    static constexpr std::uint8_t kUpperCaseMember = 0x02;

    static SeriesInput Parse(const std::uint8_t* data, std::size_t size);
    std::vector<std::uint8_t> Pack() const;

    // The file name of file `index` (0 to kMaxFiles - 1) under these options.
    std::string FileName(std::size_t index) const;
    // The name of the file the host opens.
    std::string OpenedName() const;

    std::uint8_t options = 0;
    std::vector<std::vector<std::uint8_t>> files;
};
