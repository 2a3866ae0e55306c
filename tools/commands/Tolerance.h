// Tolerance: when two numbers of `kvres-tool diff` count as different. Two
// numbers differ when |a - b| > max(atol, rtol * max(|a|, |b|)), after numbers
// below the floor in magnitude are taken as 0; NaN equals NaN, infinities are
// equal when of the same sign. Phases (radians) are compared by their
// distance d the shorter way round the circle, and only where both magnitudes
// reach the floor: they differ when d > max(atol, rtol * pi), a threshold that
// does not depend on where the angles lie. A value type; it keeps no history.
#pragma once

struct Comparison {
    bool differs = false;
    double absolute = 0.0; // |a - b| (the angle for phases); infinite for NaN against a number
    // absolute / max(|a|, |b|), 0 when both are 0; for phases absolute / pi
    double relative = 0.0;
};

class Tolerance {
public:
    Tolerance(double rtol, double atol, double floor) : rtol(rtol), atol(atol), floor(floor) {}

    Comparison Numbers(float a, float b) const;
    // Phases in radians, with the magnitudes they belong to.
    Comparison Phases(float a, float b, float magnitudeA, float magnitudeB) const;
    // Whether a magnitude counts (is at or above the floor).
    bool AboveFloor(float magnitude) const;

private:
    Comparison Judge(double a, double b, double difference) const;

    double rtol;
    double atol;
    double floor;
};
