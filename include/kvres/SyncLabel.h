// kvres::SyncLabel: the text of a simulation label that carries a number,
// "<name> = <number>", with the number in the shortest text that a reader
// parses back to exactly that float. Makes strings only.
#pragma once

#include <string>

namespace kvres {

// "Time = 0.5" from ("Time", 0.5f). Throws kvres::InputError when `value` is
// not finite, when `name` holds '=' (a reader takes the number after the
// first '='), or when the label would be longer than 30 characters.
std::string SyncLabel(const std::string& name, float value);

} // namespace kvres
