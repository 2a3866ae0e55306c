// OwnFileName: the hidden names of the writer's own files beside a target
// (its temporary file, the names it renames old members aside to, its commit
// journal): ".NAME.kvres-PID-N.EXT", made and recognised here only, with the
// process id that goes into them. Touches no file system.
#pragma once

#include <string>

namespace kvres {
namespace detail {

// This process's id.
int ProcessId();

// A new name ".NAME.kvres-PID-N.EXT" beside `name`, N counting up in this
// process, so no two calls give the same name.
std::string OwnFileName(const std::string& name, const char* extension);

// Splits ".NAME.kvres-PID-N.EXT" into NAME, PID and EXT; false for any
// other name.
bool ParseOwnFileName(const std::string& file, std::string& name, long& pid,
                      std::string& extension);

} // namespace detail
} // namespace kvres
