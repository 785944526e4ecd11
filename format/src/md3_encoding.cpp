// Fixed-point positions, normal bytes, spherical mapping, frame bounds and name texts of MD3.
#include "modelformat/md3_encoding.h"

#include <algorithm>
#include <cmath>

namespace modelformat {

namespace {

// The factors are derived from pi taken as 3.1415926535, as the format's tools have always done.
constexpr double kInversePi = 0.31830988619288864;
constexpr double kInverseTwoPi = 0.15915494309644432;
constexpr double kByteAngleScale = 40.5845104895933;  // 255 / (2 pi)
constexpr double kFullByte = 255.0;

// Unit vector of (x, y, z) in single precision; a zero vector stays zero.
void normalize(float& x, float& y, float& z) {
    const float length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0f || !std::isfinite(length)) {
        x = y = z = 0.0f;
        return;
    }
    x /= length;
    y /= length;
    z /= length;
}

// acos of a cosine that rounding may have pushed just past +/-1.
double safeAcos(double cosine) { return std::acos(std::clamp(cosine, -1.0, 1.0)); }

uint8_t angleByte(double value) {
    if (!(value >= 0.0)) {
        return 0;
    }
    return static_cast<uint8_t>(static_cast<int>(std::min(value, 255.0)) & 0xFF);
}

}  // namespace

int16_t encodeCoordinate(float coordinate, bool& clamped) {
    const float scaled = coordinate * kMd3PositionScale;
    if (std::isnan(scaled)) {
        clamped = true;
        return 0;
    }
    const double truncated = std::trunc(static_cast<double>(scaled));
    if (truncated > 32767.0) {
        clamped = true;
        return 32767;
    }
    if (truncated < -32768.0) {
        clamped = true;
        return -32768;
    }
    return static_cast<int16_t>(truncated);
}

EncodedNormal encodeNormal(float x, float y, float z) {
    EncodedNormal encoded;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
        return encoded;
    }
    encoded.polar = angleByte(safeAcos(z) * kByteAngleScale);
    float bx = x;
    float by = y;
    float bz = 0.0f;
    normalize(bx, by, bz);
    const double azimuth = safeAcos(bx);
    if (y >= 0.0f) {
        encoded.azimuth = angleByte(azimuth * kByteAngleScale);
    } else {
        encoded.azimuth = angleByte((1.0 - azimuth * kInverseTwoPi) * kFullByte);
    }
    return encoded;
}

TextureCoordinate sphericalMapping(float x, float y, float z) {
    float ax = x;
    float ay = 0.0f;
    float az = z;
    normalize(ax, ay, az);
    float bx = x;
    float by = y;
    float bz = 0.0f;
    normalize(bx, by, bz);
    TextureCoordinate mapped;
    mapped.v = static_cast<float>(safeAcos(az) * kInversePi);
    const double u = safeAcos(bx) * kInverseTwoPi;
    mapped.u = static_cast<float>(y >= 0.0f ? u : 1.0 - u);
    return mapped;
}

std::string tagNameFieldText(const std::string& name) {
    const std::string text(name.c_str());
    return text.substr(0, kMd3MaxNameLength);
}

std::string smartPath(const std::string& path) {
    const size_t at = path.find("models");
    return at == std::string::npos ? path : path.substr(at);
}

void FrameBounds::add(const Md3Vec3& p) {
    if (empty_) {
        min_ = max_ = p;
        empty_ = false;
        return;
    }
    min_.x = std::min(min_.x, p.x);
    min_.y = std::min(min_.y, p.y);
    min_.z = std::min(min_.z, p.z);
    max_.x = std::max(max_.x, p.x);
    max_.y = std::max(max_.y, p.y);
    max_.z = std::max(max_.z, p.z);
}

float FrameBounds::radius() const {
    const double x = std::max(std::fabs(min_.x), std::fabs(max_.x));
    const double y = std::max(std::fabs(min_.y), std::fabs(max_.y));
    const double z = std::max(std::fabs(min_.z), std::fabs(max_.z));
    return static_cast<float>(std::sqrt(x * x + y * y + z * z));
}

}  // namespace modelformat
