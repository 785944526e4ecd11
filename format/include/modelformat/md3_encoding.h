// How MD3 stores geometry and names: fixed-point positions, two-byte normals, spherical texture
// mapping, frame bounds, and the texts that go into its name fields.
#ifndef MODELFORMAT_MD3_ENCODING_H
#define MODELFORMAT_MD3_ENCODING_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "md3_format.h"

namespace modelformat {

namespace detail {
// encodeCoordinate of a scaled coordinate outside the 16-bit range, or not a number.
int16_t encodeScaledOutside(float scaled, bool& clamped);
}  // namespace detail

// A scene coordinate as stored: times 64, truncated toward zero, clamped to the 16-bit range.
// clamped is set when the value lay outside that range (or was not a number).
inline int16_t encodeCoordinate(float coordinate, bool& clamped) {
    const float scaled = coordinate * kMd3PositionScale;
    // Inside the range, truncating the float is truncating its exact double.
    if (scaled > -32769.0f && scaled < 32768.0f) {
        return static_cast<int16_t>(static_cast<int32_t>(scaled));
    }
    return detail::encodeScaledOutside(scaled, clamped);
}

struct EncodedNormal {
    uint8_t polar = 0;    // angle from +Z
    uint8_t azimuth = 0;  // angle about +Z from +X toward +Y
};

// Encodes a unit normal. Each angle in radians is scaled by 255/(2*pi) and truncated; the
// azimuth of a normal with negative y is taken as 1 - angle/(2*pi) of the full turn, times 255.
EncodedNormal encodeNormal(float x, float y, float z);
// The same for count normals given as arrays of their x, y and z, into out: faster over many
// normals than one call each.
void encodeNormals(const float* x, const float* y, const float* z, size_t count, EncodedNormal* out);

struct TextureCoordinate {
    float u = 0.0f;
    float v = 0.0f;
};

// A spherical mapping of an object-space position, for meshes without a texture mapping:
// v from the angle of (x, 0, z) to +Z, u from the angle of (x, y, 0) to +X (the far half of the
// turn for negative y).
TextureCoordinate sphericalMapping(float x, float y, float z);

// The text of a name field (the model name, a surface's, a shader's, a tag's): the name up to any
// zero it holds, cut from the end to kMd3MaxNameLength characters, so that a zero always follows
// it inside the published layout's 64 bytes. Readers and the game take a name up to that zero;
// without it they read on into the word that follows the field.
std::string nameFieldText(const std::string& name);
// Whether nameFieldText cuts the name.
bool nameFieldCuts(const std::string& name);

// The tail of a path from the first occurrence of "models" (case-sensitive, wherever it
// stands), or the whole path when it does not occur. Model and shader names are written so
// when the smart-paths switch is on: the game finds files relative to its base folder, in which
// "models" is a top-level folder.
std::string smartPath(const std::string& path);

// The bounds of one frame's stored positions.
class FrameBounds {
public:
    void add(const Md3Vec3& point);
    bool empty() const { return empty_; }
    const Md3Vec3& minCorner() const { return min_; }
    const Md3Vec3& maxCorner() const { return max_; }
    // The length of the vector of the larger absolute extent on each axis.
    float radius() const;

private:
    bool empty_ = true;
    Md3Vec3 min_;
    Md3Vec3 max_;
};

}  // namespace modelformat

#endif
