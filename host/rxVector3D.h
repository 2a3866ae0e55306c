// rxVector3D: a three-component single-precision vector, as the host stores
// vector results. A plain value type with no behaviour beyond equality.
#pragma once

struct rxVector3D {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

inline bool operator==(const rxVector3D& a, const rxVector3D& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}
