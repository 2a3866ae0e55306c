// PhaseConversion: the one conversion of phases between the degrees a file
// stores and the radians the host and the APIs show, in both directions.
// DegreesToRadians is what every read delivers; RadiansToDegrees is what
// every write stores for a phase given in radians, chosen so that a read
// gives the radians back bit for bit wherever some stored float does. Reads
// and keeps nothing.
#pragma once

#include <cmath>
#include <limits>

// pi/180 rounded to single precision and held as a double; the product is
// formed in double and rounded once to float, so 180 degrees gives exactly
// 3.1415927f.
constexpr double kRadiansPerDegree = 0.01745329238474369;

inline float DegreesToRadians(float degrees) {
    return static_cast<float>(static_cast<double>(degrees) * kRadiansPerDegree);
}

// The degrees nearest the quotient among those that DegreesToRadians turns
// into exactly `radians` (its bits, a zero's sign included), if there is one;
// else the degrees whose radians lie nearest, the nearer the quotient on a
// tie. NaN and the infinities pass through unchanged.
inline float RadiansToDegrees(float radians) {
    if (!std::isfinite(radians)) {
        return radians;
    }
    const float quotient = static_cast<float>(static_cast<double>(radians) / kRadiansPerDegree);
    float best = quotient;
    double bestDistance = std::numeric_limits<double>::infinity();
    // The quotient, then its neighbours one, two, ... four steps away, below
    // before above.
    float below = quotient;
    float above = quotient;
    for (int step = 0; step <= 8; ++step) {
        float candidate = quotient;
        if (step % 2 == 1) {
            below = std::nextafter(below, -std::numeric_limits<float>::infinity());
            candidate = below;
        } else if (step > 0) {
            above = std::nextafter(above, std::numeric_limits<float>::infinity());
            candidate = above;
        }
        const float back = DegreesToRadians(candidate);
        if (back == radians && std::signbit(back) == std::signbit(radians)) {
            return candidate;
        }
        const double distance = std::fabs(static_cast<double>(back) - radians);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = candidate;
        }
    }
    return best;
}
