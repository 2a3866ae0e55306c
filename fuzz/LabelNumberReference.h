// LabelNumberReference: the sync value of a simulation label worked out the
// plain way, as the differential reference for the reader's own parser. The
// number follows the first '=', else the first ':', else the last blank
// (where it must start with a sign, '.' or a digit, else there is no value);
// it is white space, an optional sign, digits with an optional '.', and an
// optional exponent (or "inf" or "nan"), and the C library's strtof rounds
// exactly that text to the nearest single. Slow and simple on purpose; used by the fuzz target
// only.
#pragma once

// The value of `label`, or the lowest finite float for "no value"; a place
// that holds no number gives 0.
float ReferenceLabelValue(const char* label);
