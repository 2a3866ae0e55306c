// AsciiCase: the one comparison of text without regard to case: ASCII
// letters only, every other byte exactly, whatever locale the host has set.
// Used for series file names, data-type names and the tool's name matching;
// knows nothing of either.
#pragma once

#include <cstddef>
#include <string_view>

namespace asciicase {

inline char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool Equal(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace asciicase
