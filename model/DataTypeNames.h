// DataTypeNames: how a data-type table row's stored name becomes the name the
// host sees, in two steps: NormaliseName, applied to every row before it is
// registered (the spellings of the nodal displacement become one name), and
// FinalName, what the end of the scan makes of a registered name given the
// kind of its directory entry and whether the result holds complex data.
// Reads nothing and keeps no state; the directory and its lookups live in
// DataTypeDirectory.
#pragma once

#include "fileio/ResKind.h"

#include <cstdint>
#include <string>

namespace datatypenames {

// ASCII letters only, whatever locale the host has set.
inline bool EqualsIgnoringCase(const std::string& text, const char* expected) {
    std::size_t i = 0;
    for (; i < text.size() && expected[i] != '\0'; ++i) {
        unsigned char a = static_cast<unsigned char>(text[i]);
        const unsigned char b = static_cast<unsigned char>(expected[i]);
        if (a >= 'A' && a <= 'Z') {
            a = static_cast<unsigned char>(a - 'A' + 'a');
        }
        if (a != b) {
            return false;
        }
    }
    return i == text.size() && expected[i] == '\0';
}

// Writers spell the nodal displacement in several ways; they all become one
// name so that a complex displacement and its real twin can meet.
inline std::string NormaliseName(const std::string& name) {
    if (EqualsIgnoringCase(name, "displacements") ||
        EqualsIgnoringCase(name, "nodal displacement")) {
        return "displacement";
    }
    if (EqualsIgnoringCase(name, "displacements (c)")) {
        return "displacement (c)";
    }
    return name;
}

// The kind's name changes: a complex vector's name carries four characters
// of its own (" (c)"), and with complex data present every real nodal vector
// is marked "_NC".
inline std::string FinalName(std::string registered, int32_t entryKind, bool hasComplexData) {
    const ResKind& kind = ResKind::Of(entryKind);
    const auto dropped = static_cast<std::size_t>(kind.droppedNameChars);
    if (registered.size() >= dropped) {
        registered.erase(registered.size() - dropped);
    }
    if (hasComplexData) {
        registered += kind.complexResultSuffix;
    }
    return registered;
}

} // namespace datatypenames
