#include "SimulationList.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

// A bound: decimal digits (no sign, no space) or `last`.
bool Bound(const std::string& text, int& value) {
    if (text == "last") {
        value = SimulationList::kLast;
        return true;
    }
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    errno = 0;
    const long number = std::strtol(text.c_str(), nullptr, 10);
    if (errno != 0 || number > INT_MAX) {
        return false;
    }
    value = static_cast<int>(number);
    return true;
}

// A finite number as strtof reads it, the whole text.
bool SyncBound(const std::string& text, float& value) {
    if (text.empty() || text.find_first_of(" \t") != std::string::npos) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    value = std::strtof(text.c_str(), &end);
    return errno == 0 && *end == '\0' && std::isfinite(value);
}

} // namespace

bool SimulationList::AddSync(const std::string& text, std::string& error) {
    std::size_t begin = 0;
    while (true) {
        const std::size_t comma = text.find(',', begin);
        const std::string item =
            text.substr(begin, comma == std::string::npos ? comma : comma - begin);
        const std::size_t dots = item.find("..");
        SyncRange range;
        range.text = item;
        const bool good = dots == std::string::npos
                              ? SyncBound(item, range.low) && SyncBound(item, range.high)
                              : SyncBound(item.substr(0, dots), range.low) &&
                                    SyncBound(item.substr(dots + 2), range.high) &&
                                    range.low <= range.high;
        if (!good) {
            error = "'" + item + "' is no sync value: give a number or LOW..HIGH (0.5,1..2)";
            return false;
        }
        syncs.push_back(range);
        if (comma == std::string::npos) {
            return true;
        }
        begin = comma + 1;
    }
}

bool SimulationList::Add(const std::string& text, std::string& error) {
    std::size_t begin = 0;
    while (true) {
        const std::size_t comma = text.find(',', begin);
        const std::string item =
            text.substr(begin, comma == std::string::npos ? comma : comma - begin);
        const std::size_t dots = item.find("..");
        Range range;
        bool good = false;
        if (item == "all") {
            all = true;
            good = true;
        } else if (dots == std::string::npos) {
            good = Bound(item, range.first);
            range.last = range.first;
        } else {
            good = Bound(item.substr(0, dots), range.first) &&
                   Bound(item.substr(dots + 2), range.last) &&
                   (range.first != kLast || range.last == kLast) &&
                   (range.last == kLast || range.first <= range.last);
        }
        if (!good) {
            error = "'" + item +
                    "' is no simulation: give an index, A..B, last, A..last or all "
                    "(0,2,5..9,last)";
            return false;
        }
        if (item != "all") {
            ranges.push_back(range);
        }
        if (comma == std::string::npos) {
            return true;
        }
        begin = comma + 1;
    }
}

bool SimulationList::LastOnly() const {
    return !all && !ranges.empty() && std::all_of(ranges.begin(), ranges.end(), [](const Range& r) {
        return r.first == kLast && r.last == kLast;
    });
}

bool SimulationList::All() const {
    return all || (ranges.empty() && syncs.empty());
}

bool SimulationList::Resolve(int count, std::vector<int>& indices, int& outOfRange) const {
    indices.clear();
    std::vector<bool> seen(static_cast<std::size_t>(std::max(count, 0)), false);
    const auto take = [&](int index) {
        if (!seen[static_cast<std::size_t>(index)]) {
            seen[static_cast<std::size_t>(index)] = true;
            indices.push_back(index);
        }
    };
    if (All()) {
        for (int i = 0; i < count; ++i) {
            take(i);
        }
        return true;
    }
    for (const Range& range : ranges) {
        const int first = range.first == kLast ? count - 1 : range.first;
        const int last = range.last == kLast ? count - 1 : range.last;
        if (first < 0 || first >= count || last >= count) {
            outOfRange = first < 0 ? 0 : first >= count ? first : last;
            return false;
        }
        for (int i = first; i <= last; ++i) {
            take(i);
        }
    }
    return true;
}

bool SimulationList::Resolve(const std::vector<float>& sync, const std::string& file,
                             std::vector<int>& indices, std::string& error) const {
    const int count = static_cast<int>(sync.size());
    int outOfRange = 0;
    SimulationList byIndex = *this;
    byIndex.syncs.clear();
    if (byIndex.ranges.empty() && !all) {
        indices.clear(); // only sync items: none chosen by index
    } else if (!byIndex.Resolve(count, indices, outOfRange)) {
        error = OutOfRange(outOfRange, file, count);
        return false;
    }
    if (all) {
        return true;
    }
    for (const SyncRange& range : syncs) {
        bool any = false;
        for (int i = 0; i < count; ++i) {
            const float value = sync[static_cast<std::size_t>(i)];
            if (value >= range.low && value <= range.high) {
                any = true;
                if (std::find(indices.begin(), indices.end(), i) == indices.end()) {
                    indices.push_back(i);
                }
            }
        }
        if (!any) {
            error = "no simulation of " + file + " has a sync value " +
                    (range.low == range.high ? "of " : "in ") + range.text;
            return false;
        }
    }
    return true;
}

std::string SimulationList::OutOfRange(int index, const std::string& file, int count) {
    return "simulation " + std::to_string(index) + " is out of range: " + file + " holds " +
           std::to_string(count) +
           (count == 0   ? " simulations"
            : count == 1 ? " simulation (0)"
                         : " simulations (0.." + std::to_string(count - 1) + ")");
}
