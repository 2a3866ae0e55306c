// The JSON-text target: the tool's string escaping on the input's bytes, and
// its float text on the input read as 32-bit patterns. nlohmann-json parses
// every output back: a string must give exactly the input's bytes (each
// \u00XX escape standing for the byte XX), and a number the same float,
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

// The code points of the UTF-8 text `utf8` as bytes, or false when one of
// them lies beyond U+00FF (the escaping never writes such a character).
bool Latin1Bytes(const std::string& utf8, std::string& bytes) {
    bytes.clear();
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            bytes += static_cast<char>(lead);
        } else if ((lead == 0xC2 || lead == 0xC3) && i + 1 < utf8.size()) {
            const auto next = static_cast<unsigned char>(utf8[++i]);
            bytes += static_cast<char>(((lead & 0x03) << 6) | (next & 0x3F));
        } else {
            return false;
        }
    }
    return true;
}

void CheckString(const std::string& text) {
    const std::string quoted = jsontextadapter::Quote(text);
    const Json parsed = Json::parse(quoted, nullptr, false);
    std::string back;
    if (parsed.is_discarded() || !parsed.is_string() ||
        !Latin1Bytes(parsed.get_ref<const std::string&>(), back) || back != text) {
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
