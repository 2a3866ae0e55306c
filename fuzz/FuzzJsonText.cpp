// The JSON-text target: the tool's string escaping on the input's bytes, and
// its float text on the input read as 32-bit patterns. nlohmann-json parses
// every output back: a string must give the input read as UTF-8, each valid
// sequence as itself and each byte outside one as the character U+00XX of
// its value, and a number the same float,
// bit for bit, both read straight as a single (strtof) and as a JSON reader
// reads it (a double, then narrowed; there "-0", an integer to the reader,
// may come back as 0); a non-finite float must come back as the string
// "inf", "-inf" or "nan".
#include "FuzzEntries.h"
#include "JsonTextAdapter.h"

#include "fileio/ResEncoding.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace kvresfuzz {

namespace {

using Json = nlohmann::json;

// The UTF-8 of `point`.
std::string Encode(unsigned point) {
    std::string bytes;
    if (point < 0x80) {
        bytes += static_cast<char>(point);
    } else if (point < 0x800) {
        bytes += static_cast<char>(0xC0 | (point >> 6));
        bytes += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        bytes += static_cast<char>(0xE0 | (point >> 12));
        bytes += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        bytes += static_cast<char>(0xF0 | (point >> 18));
        bytes += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        bytes += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (point & 0x3F));
    }
    return bytes;
}

// What a JSON reader must get back for `text`: at each position the sequence
// of 1 to 4 bytes that decodes to a scalar value whose UTF-8 is those very
// bytes, else the one byte as the character of its value.
std::string Expected(const std::string& text) {
    std::string expected;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t taken = 0;
        for (std::size_t length = 1; length <= 4 && at + length <= text.size() && taken == 0;
             ++length) {
            unsigned point = static_cast<unsigned char>(text[at]);
            if (length > 1) {
                point &= 0xFFu >> (length + 1);
            }
            for (std::size_t i = 1; i < length; ++i) {
                point = (point << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3Fu);
            }
            if (point <= 0x10FFFF && !(point >= 0xD800 && point <= 0xDFFF) &&
                Encode(point) == text.substr(at, length)) {
                taken = length;
            }
        }
        if (taken == 0) {
            expected += Encode(static_cast<unsigned char>(text[at]));
            ++at;
        } else {
            expected += text.substr(at, taken);
            at += taken;
        }
    }
    return expected;
}

void CheckString(const std::string& text) {
    const std::string quoted = jsontextadapter::Quote(text);
    const Json parsed = Json::parse(quoted, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_string() ||
        parsed.get_ref<const std::string&>() != Expected(text)) {
        FuzzFailure("JSON text: an escaped string does not parse back to its bytes");
    }
}

std::uint32_t Bits(float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof value);
    return bits;
}

void CheckFloat(float value) {
    const std::string text = jsontextadapter::Number(value);
    const Json parsed = Json::parse(text, nullptr, false);
    if (parsed.is_discarded()) {
        std::fprintf(stderr, "float 0x%08X written as %s\n", Bits(value), text.c_str());
        FuzzFailure("JSON text: a float's text is no JSON value");
    }
    if (!std::isfinite(value)) {
        const char* expected = std::isnan(value) ? "nan" : value < 0 ? "-inf" : "inf";
        if (!parsed.is_string() || parsed.get_ref<const std::string&>() != expected) {
            FuzzFailure("JSON text: a non-finite float is not its string");
        }
        return;
    }
    if (!parsed.is_number()) {
        FuzzFailure("JSON text: a finite float is not a JSON number");
    }
    const float direct = std::strtof(text.c_str(), nullptr);
    const double wide = parsed.get<double>();
    const float narrowed = NarrowToFloat(wide);
    // A JSON reader takes "-0" for the integer 0, which has no sign; strtof
    // has already shown that the text keeps it.
    const bool signlessZero = parsed.is_number_integer() && value == 0.0f && narrowed == 0.0f;
    if (Bits(direct) != Bits(value) || (Bits(narrowed) != Bits(value) && !signlessZero)) {
        std::fprintf(stderr,
                     "float 0x%08X written as %s reads back as 0x%08X (strtof), 0x%08X (JSON)\n",
                     Bits(value), text.c_str(), Bits(direct), Bits(narrowed));
        FuzzFailure("JSON text: a float's text does not read back to the same float");
    }
}

} // namespace

int JsonTextOneInput(const std::uint8_t* data, std::size_t size) {
    CheckString(std::string(reinterpret_cast<const char*>(data), size));
    for (std::size_t at = 0; at + 4 <= size; at += 4) {
        float value = 0.0f;
        std::memcpy(&value, data + at, sizeof value);
        CheckFloat(value);
    }
    return 0;
}

} // namespace kvresfuzz
