#include "Tolerance.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
} // namespace

bool Tolerance::AboveFloor(float magnitude) const {
    return std::fabs(static_cast<double>(magnitude)) >= floor;
}

Comparison Tolerance::Judge(double a, double b, double difference) const {
    Comparison result;
    const double scale = std::max(std::fabs(a), std::fabs(b));
    result.absolute = difference;
    result.relative = scale > 0 ? difference / scale : 0.0;
    result.differs = difference > std::max(atol, rtol * scale);
    return result;
}

Comparison Tolerance::Numbers(float a, float b) const {
    Comparison result;
    if (std::isnan(a) || std::isnan(b)) {
        if (!(std::isnan(a) && std::isnan(b))) {
            result.differs = true;
            result.absolute = result.relative = std::numeric_limits<double>::infinity();
        }
        return result;
    }
    if (std::isinf(a) || std::isinf(b)) {
        if (a != b) {
            result.differs = true;
            result.absolute = result.relative = std::numeric_limits<double>::infinity();
        }
        return result;
    }
    const double x = std::fabs(static_cast<double>(a)) < floor ? 0.0 : a;
    const double y = std::fabs(static_cast<double>(b)) < floor ? 0.0 : b;
    return Judge(x, y, std::fabs(x - y));
}

Comparison Tolerance::Phases(float a, float b, float magnitudeA, float magnitudeB) const {
    if (!AboveFloor(magnitudeA) || !AboveFloor(magnitudeB)) {
        return Comparison{};
    }
    if (!std::isfinite(a) || !std::isfinite(b)) {
        return Numbers(a, b);
    }
    double angle = std::fmod(std::fabs(static_cast<double>(a) - b), kTwoPi);
    angle = std::min(angle, kTwoPi - angle);
    // Every angle is worth the same wherever it lies on the circle: the scale
    // of a phase is the half turn, never the angles' own size.
    Comparison result;
    result.absolute = angle;
    result.relative = angle / kPi;
    result.differs = angle > std::max(atol, rtol * kPi);
    return result;
}
