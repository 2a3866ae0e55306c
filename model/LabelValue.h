// ParseLabelValue: the number a simulation label carries, read by the label
// grammar (after the first '=', else after the first ':', else after the last
// blank) in the C locale's notation and rounded once to single precision.
// It does not turn numbers into sync values: the scan's ordering rule does.
#pragma once

// What a label without a number yields: the lowest finite float.
constexpr float kNoLabelValue = -3.4028235e38f;

float ParseLabelValue(const char* label);
