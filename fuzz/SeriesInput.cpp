#include "SeriesInput.h"

#include <algorithm>

SeriesInput SeriesInput::Parse(const std::uint8_t* data, std::size_t size) {
    SeriesInput input;
    if (size == 0) {
        return input;
    }
    input.options = data[0];
    std::size_t at = 1;
    while (input.files.size() < kMaxFiles && size - at >= 2) {
        const std::size_t stated =
            static_cast<std::size_t>(data[at]) | static_cast<std::size_t>(data[at + 1]) << 8;
        at += 2;
        const std::size_t length = std::min(stated, size - at);
        input.files.emplace_back(data + at, data + at + length);
        at += length;
    }
    return input;
}

std::vector<std::uint8_t> SeriesInput::Pack() const {
    std::vector<std::uint8_t> bytes{options};
    for (std::size_t i = 0; i < files.size() && i < kMaxFiles; ++i) {
        const std::size_t length = std::min<std::size_t>(files[i].size(), 0xFFFF);
        bytes.push_back(static_cast<std::uint8_t>(length & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(length >> 8));
        bytes.insert(bytes.end(), files[i].begin(), files[i].begin() + length);
    }
    return bytes;
}

std::string SeriesInput::FileName(std::size_t index) const {
    switch (index) {
    case 0:
        return "run.res";
    case 1:
        return (options & kUpperCaseMember) != 0 ? "RUN0.RES" : "run0.res";
    case 2:
        return "run1.res";
    default:
        return "run12.res";
    }
}

std::string SeriesInput::OpenedName() const {
    return (options & kOpenNumberedMember) != 0 ? FileName(1) : FileName(0);
}
