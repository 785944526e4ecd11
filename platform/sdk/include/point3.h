// Point3: three floats, the host's point and vector type.
#ifndef MAXSDK_POINT3_H
#define MAXSDK_POINT3_H

#include <cmath>

#include "maxtypes.h"

class MAXSDK_API Point3 {
public:
    float x;
    float y;
    float z;

    Point3() : x(0.0f), y(0.0f), z(0.0f) {}
    Point3(float px, float py, float pz) : x(px), y(py), z(pz) {}
    Point3(double px, double py, double pz)
        : x(static_cast<float>(px)), y(static_cast<float>(py)), z(static_cast<float>(pz)) {}

    float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }

    Point3 operator-() const { return Point3(-x, -y, -z); }
    Point3 operator+(const Point3& p) const { return Point3(x + p.x, y + p.y, z + p.z); }
    Point3 operator-(const Point3& p) const { return Point3(x - p.x, y - p.y, z - p.z); }
    Point3 operator*(float f) const { return Point3(x * f, y * f, z * f); }
    Point3 operator/(float f) const { return Point3(x / f, y / f, z / f); }
    Point3& operator+=(const Point3& p) {
        x += p.x;
        y += p.y;
        z += p.z;
        return *this;
    }
    Point3& operator-=(const Point3& p) {
        x -= p.x;
        y -= p.y;
        z -= p.z;
        return *this;
    }
    Point3& operator*=(float f) {
        x *= f;
        y *= f;
        z *= f;
        return *this;
    }
    bool operator==(const Point3& p) const { return x == p.x && y == p.y && z == p.z; }
    bool operator!=(const Point3& p) const { return !(*this == p); }

    // Inline: exporters and mesh code call these for every vertex of every frame.
    float Length() const { return std::sqrt(x * x + y * y + z * z); }
    float LengthSquared() const { return x * x + y * y + z * z; }
    // The vector scaled to unit length; a zero vector stays zero.
    Point3 Normalize() const {
        const float length = Length();
        if (length == 0.0f) {
            return Point3(0.0f, 0.0f, 0.0f);
        }
        return Point3(x / length, y / length, z / length);
    }
};

inline Point3 operator*(float f, const Point3& p) { return p * f; }

MAXSDK_API float Length(const Point3& p);
MAXSDK_API Point3 Normalize(const Point3& p);
MAXSDK_API float DotProd(const Point3& a, const Point3& b);
MAXSDK_API Point3 CrossProd(const Point3& a, const Point3& b);

#endif
