// DataTypeNames: how a data-type table row's stored name becomes the name the
// host sees, and back. Forward, in two steps: NormaliseName, applied to every
// row before it is registered (the spellings of the nodal displacement become
// one name), and FinalName, what the end of the scan makes of a registered
// name given the kind of its directory entry and whether the result holds
// complex data; HostNames adds a triple's three component names. Backward,
// StoredName gives the stored name that FinalName shows as a given name. The
// changes themselves are ResKind's; this reads nothing and keeps no state;
// the directory and its lookups live in DataTypeDirectory.
#pragma once

#include "fileio/AsciiCase.h"
#include "fileio/ResKind.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace datatypenames {

inline bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Writers spell the nodal displacement in several ways; they all become one
// name so that a complex displacement and its real twin can meet.
inline std::string NormaliseName(const std::string& name) {
    if (asciicase::Equal(name, "displacements") || asciicase::Equal(name, "nodal displacement")) {
        return "displacement";
    }
    if (asciicase::Equal(name, "displacements (c)")) {
        return "displacement (c)";
    }
    return name;
}

// The kind's name changes: a complex vector's name carries four characters
// of its own (" (c)"), and with complex data present every real nodal vector
// is marked "_NC".
inline std::string FinalName(std::string registered, int32_t entryKind, bool hasComplexData) {
    const ResKind& kind = ResKind::Of(entryKind);
    const auto dropped = static_cast<std::size_t>(kind.DroppedNameChars());
    if (registered.size() >= dropped) {
        registered.erase(registered.size() - dropped);
    }
    if (hasComplexData) {
        registered += kind.complexResultSuffix;
    }
    return registered;
}

// The names under which the reader finds a data type registered as
// `registered` (a normalised stored name) with `kind`: its final name (the
// directory's key, whether or not the host is shown the kind) and, for a
// triple, the three names the host is shown.
inline std::vector<std::string> HostNames(const std::string& registered, int32_t kind,
                                          bool hasComplexData) {
    const std::string shown = FinalName(registered, kind, hasComplexData);
    std::vector<std::string> names = {shown};
    if (ResKind::Of(kind).format == ResKind::Triple) {
        for (const char* suffix : ResKind::kTripleSuffixes) {
            names.push_back(shown + suffix);
        }
    }
    return names;
}

// Whether `shown` carries the complex result's mark of `kind` ("_NC" of a
// real vector); true for a kind without one.
inline bool Marked(const std::string& shown, int32_t kind) {
    return EndsWith(shown, ResKind::Of(kind).complexResultSuffix);
}

// The stored name of a block of `kind` that FinalName undoes to `shown`:
// a complex vector's stored name ends with " (c)", and in a result with
// complex data a real vector's loses the "_NC" it is shown with. Not yet
// judged (see StoredName).
inline std::string StoredCandidate(const std::string& shown, int32_t kind, bool hasComplexData) {
    const std::string mark = ResKind::Of(kind).complexResultSuffix;
    const std::string unmarked = hasComplexData && !mark.empty() && EndsWith(shown, mark)
                                     ? shown.substr(0, shown.size() - mark.size())
                                     : shown;
    return unmarked + ResKind::Of(kind).storedNameEnd;
}

// FinalName's inverse: the stored name, ending as writers end it (a complex
// vector's " (c)"), that a reader shows as `shown` for a block of `kind` in a
// result with or without complex data, or nothing when no such stored name
// is shown so (the candidate would be normalised to another name, or the
// complex result's mark is missing or not due). Says nothing of the field's
// width.
inline std::optional<std::string> StoredName(const std::string& shown, int32_t kind,
                                             bool hasComplexData) {
    std::string stored = StoredCandidate(shown, kind, hasComplexData);
    if (FinalName(NormaliseName(stored), kind, hasComplexData) != shown) {
        return std::nullopt;
    }
    return stored;
}

} // namespace datatypenames
