// JsonTextAdapter: the one place the JSON-text fuzz target names kvres-tool's
// own functions for a JSON string literal and for a float's JSON text, so a
// change of their names in the tool is a change here only. Adds no logic.
#pragma once

#include <string>

namespace jsontextadapter {

// `text` as the tool writes a JSON string literal, quotes included.
std::string Quote(const std::string& text);
// `value` as the tool writes it in JSON: a number, or a string when it is
// not finite.
std::string Number(float value);

} // namespace jsontextadapter
