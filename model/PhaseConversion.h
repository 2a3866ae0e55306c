// DegreesToRadians: the one conversion of stored phases (degrees) to the
// radians the host expects. The factor is pi/180 rounded to single precision
// and held as a double; the product is formed in double and rounded once to
// float, so 180 degrees gives exactly 3.1415927f.
#pragma once

constexpr double kRadiansPerDegree = 0.01745329238474369;

inline float DegreesToRadians(float degrees) {
    return static_cast<float>(static_cast<double>(degrees) * kRadiansPerDegree);
}
