#include "NameMatch.h"

#include "fileio/AsciiCase.h"
#include "fileio/ErrorText.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace namematch {

namespace {

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), asciicase::Lower);
    return text;
}

// The Levenshtein distance of `a` and `b` (insert, delete, replace: 1 each).
std::size_t Distance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

bool IsPattern(const std::string& text) {
    return text.find_first_of("*?") != std::string::npos;
}

bool Matches(const std::string& pattern, const std::string& name) {
    // Iterative, with one backtrack point: the last '*' seen.
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = std::string::npos;
    std::size_t resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

std::vector<std::string> Nearest(const std::string& word,
                                 const std::vector<std::string>& candidates) {
    const std::string typed = Lowered(word);
    const std::size_t allowed = std::max<std::size_t>(2, typed.size() / 3);
    std::vector<std::pair<std::size_t, std::string>> near;
    for (const std::string& candidate : candidates) {
        const std::string lowered = Lowered(candidate);
        std::size_t distance = Distance(typed, lowered);
        if (distance > allowed && !typed.empty() && lowered.find(typed) != std::string::npos) {
            distance = allowed; // a part of the name, as typed
        }
        if (distance <= allowed && candidate != word &&
            std::none_of(near.begin(), near.end(),
                         [&](const auto& seen) { return seen.second == candidate; })) {
            near.emplace_back(distance, candidate);
        }
    }
    std::stable_sort(near.begin(), near.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> nearest;
    for (std::size_t i = 0; i < near.size() && i < 3; ++i) {
        nearest.push_back(near[i].second);
    }
    return nearest;
}

std::string DidYouMean(const std::string& word, const std::vector<std::string>& candidates) {
    const std::vector<std::string> nearest = Nearest(word, candidates);
    if (nearest.empty()) {
        return "";
    }
    std::string text = " (did you mean ";
    for (std::size_t i = 0; i < nearest.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == nearest.size() ? " or " : ", ") + ("'" + nearest[i] + "'");
    }
    return text + "?)";
}

bool Expand(const std::vector<std::string>& patterns, const std::vector<std::string>& known,
            std::vector<std::string>& names, std::string& error) {
    std::vector<bool> chosen(known.size(), false);
    for (const std::string& pattern : patterns) {
        bool any = false;
        for (std::size_t i = 0; i < known.size(); ++i) {
            if (known[i] == pattern || (IsPattern(pattern) && Matches(pattern, known[i]))) {
                chosen[i] = true;
                any = true;
            }
        }
        if (!any) {
            error = (IsPattern(pattern) ? "no data type matches '" + pattern + "'"
                                        : NoDataTypeNamed(pattern)) +
                    DidYouMean(pattern, known);
            return false;
        }
    }
    names.clear();
    for (std::size_t i = 0; i < known.size(); ++i) {
        if (chosen[i] && std::find(names.begin(), names.end(), known[i]) == names.end()) {
            names.push_back(known[i]);
        }
    }
    return true;
}

} // namespace namematch
