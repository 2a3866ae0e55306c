// kvres::Error: the one root of every exception the kvres C++ API throws
// (the reader's ReadError and the writer's WriteError, with all their kinds,
// and the copier's ResultCopier::Damaged). A std::runtime_error whose what()
// says what went wrong in words; it carries no state of a reader or writer.
// Catch kvres::Error to catch whatever kvres throws on purpose; running out
// of memory still throws std::bad_alloc.
#pragma once

#include <stdexcept>
#include <string>

// The class is defined here in full (the writer links nothing of the reader)
// and seen alike by every library that throws it and every caller.
#if defined(__GNUC__) && !defined(_WIN32)
#define KVRES_ERROR_VISIBLE __attribute__((visibility("default")))
#else
#define KVRES_ERROR_VISIBLE
#endif

namespace kvres {

class KVRES_ERROR_VISIBLE Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

} // namespace kvres
