// NameMatch: how kvres-tool matches names the user typed: data-type globs
// (`*` any run of bytes, `?` one byte, nothing else special) and the nearest
// candidates for a mistyped command, option or data-type name ("did you
// mean"). Free functions on bytes; no state, no locale.
#pragma once

#include <string>
#include <vector>

namespace namematch {

// Whether `text` holds a wildcard (`*` or `?`).
bool IsPattern(const std::string& text);

// Whether `name` matches the glob `pattern` as a whole.
bool Matches(const std::string& pattern, const std::string& name);

// The candidates nearest to `word` (at most three, nearest first): within an
// edit distance of a third of the word's length (at least 2), or holding the
// word, ignoring ASCII case.
std::vector<std::string> Nearest(const std::string& word,
                                 const std::vector<std::string>& candidates);

// " (did you mean 'a' or 'b'?)" for the nearest candidates, or "".
std::string DidYouMean(const std::string& word, const std::vector<std::string>& candidates);

// The names of `known` that the exact names and globs of `patterns` select,
// each once, in the order of `known`. False, with `error` saying which
// pattern selects nothing (and the nearest names), when one does.
bool Expand(const std::vector<std::string>& patterns, const std::vector<std::string>& known,
            std::vector<std::string>& names, std::string& error);

} // namespace namematch
