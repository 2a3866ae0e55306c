// kvres::WriteError and kvres::InputError: what the .res writer throws.
// WriteError: the file system refused (cannot create, write, rename), or the
// result does not fit the format (a simulation larger than a file may be,
// the series full). InputError, a WriteError too: the caller's data or the
// order of calls is wrong; the message says exactly what, and nothing was
// written for the call that threw. Both are kvres::Error.
#pragma once

#include "kvres/Error.h"

#include <string>

namespace kvres {

class WriteError : public Error {
public:
    explicit WriteError(const std::string& message) : Error(message) {}
};

class InputError : public WriteError {
public:
    explicit InputError(const std::string& message) : WriteError(message) {}
};

} // namespace kvres
