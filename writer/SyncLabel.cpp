#include "kvres/SyncLabel.h"

#include "kvres/WriteError.h"

#include "fileio/ResLayout.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kvres {
namespace {

// Whether `text` reads back as exactly `value`, whether a reader rounds the
// decimal straight to single precision or through a double.
bool ReadsBackAs(const char* text, float value) {
    const float direct = std::strtof(text, nullptr);
    const float viaDouble = static_cast<float>(std::strtod(text, nullptr));
    return std::memcmp(&direct, &value, sizeof value) == 0 &&
           std::memcmp(&viaDouble, &value, sizeof value) == 0;
}

} // namespace

std::string SyncLabel(const std::string& name, float value) {
    if (!std::isfinite(value)) {
        throw InputError("the number of label '" + name + "' is not finite");
    }
    if (name.find('=') != std::string::npos) {
        throw InputError("label name '" + name +
                         "' holds '='; the number is read after the first '='");
    }
    char text[64] = {};
    const std::to_chars_result shortest = std::to_chars(text, text + sizeof text - 1, value);
    *shortest.ptr = '\0';
    if (!ReadsBackAs(text, value)) {
        std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    }
    const std::string label = name + " = " + text;
    if (label.size() > static_cast<std::size_t>(reslayout::kLabelWidth - 1)) {
        throw InputError("label '" + label + "' has " + std::to_string(label.size()) +
                         " characters; its field holds " +
                         std::to_string(reslayout::kLabelWidth - 1));
    }
    return label;
}

} // namespace kvres
