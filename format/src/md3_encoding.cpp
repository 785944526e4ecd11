// Fixed-point positions, normal bytes, spherical mapping, frame bounds and name texts of MD3.
#include "modelformat/md3_encoding.h"

#include <algorithm>
#include <cmath>
#include <array>
#include <cstring>
#include <limits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The two bytes of a normal, each a function of one single-precision cosine: the polar byte of
// z, and the azimuth byte of the x of (x, y) made unit, on either side of the x axis.
uint8_t polarByteOf(float z) { return angleByte(safeAcos(z) * kByteAngleScale); }
uint8_t azimuthByteAboveOf(float x) { return angleByte(safeAcos(x) * kByteAngleScale); }
uint8_t azimuthByteBelowOf(float x) { return angleByte((1.0 - safeAcos(x) * kInverseTwoPi) * kFullByte); }

// Floats in an integer order that follows their numeric order (-0 and +0 alike), so that the
// floats of an interval can be bisected.
int32_t floatOrder(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits & 0x80000000u) != 0 ? -static_cast<int32_t>(bits & 0x7FFFFFFFu) : static_cast<int32_t>(bits);
}

float floatAt(int32_t order) {
    const uint32_t bits = order < 0 ? (static_cast<uint32_t>(-order) | 0x80000000u) : static_cast<uint32_t>(order);
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// A byte that is a monotonic step function of a cosine, kept as the first float of every step:
// looking a cosine up gives the function's own byte without an arc cosine, because every step's
// first float was found by bisecting the floats with the function itself. A lookup goes to the
// cosine's bucket (2048 equal parts of [-1, 1]), which holds the byte at its lowest cosine and
// the steps that begin inside it, and takes the last of them the cosine reaches, without a
// branch. A bucket is narrower than any step but the two at either end, so at most two steps
// begin in one; should a function ever have more, every lookup asks the function itself.
// Cosines beyond -1 and 1 take the end bytes, as the clamped arc cosine does.
class CosineSteps {
public:
    explicit CosineSteps(uint8_t (*stepByte)(float)) : stepByte_(stepByte) {
        std::vector<float> starts;   // ascending: where steps 1, 2, ... begin
        std::vector<uint8_t> bytes;  // the byte of each step, step 0 first
        const int32_t last = floatOrder(1.0f);
        int32_t from = floatOrder(-1.0f);
        uint8_t current = stepByte(-1.0f);
        bytes.push_back(current);
        while (stepByte(floatAt(last)) != current) {
            // The step of `current` starts at or before `from` and ends before `last`: bisect for
            // the first float whose byte differs.
            int32_t low = from;
            int32_t high = last;
            while (high - low > 1) {
                const int32_t middle = low + (high - low) / 2;
                if (stepByte(floatAt(middle)) == current) {
                    low = middle;
                } else {
                    high = middle;
                }
            }
            from = high;
            current = stepByte(floatAt(from));
            starts.push_back(floatAt(from));
            bytes.push_back(current);
        }
        // The steps that start in earlier buckets start below any cosine of a bucket, because the
        // bucket of a cosine never decreases as it grows.
        size_t counted = 0;
        for (size_t bucket = 0; bucket < kBuckets; ++bucket) {
            Bucket& entry = buckets_[bucket];
            entry.bytes[0] = bytes[counted];
            size_t slot = 0;
            while (counted < starts.size() && bucketOf(starts[counted]) <= bucket) {
                if (slot == kSlots) {
                    exact_ = false;
                    return;
                }
                entry.starts[slot] = starts[counted];
                entry.bytes[slot + 1] = bytes[counted + 1];
                ++slot;
                ++counted;
            }
            for (; slot < kSlots; ++slot) {
                entry.starts[slot] = std::numeric_limits<float>::infinity();  // never reached
                entry.bytes[slot + 1] = bytes[counted];
            }
        }
    }

    uint8_t byteOf(float cosine) const {
        if (!exact_) {
            return stepByte_(cosine);
        }
        return byteIn(bucketOf(cosine), cosine);
    }

    // Whether the buckets answer every lookup (else byteOf asks the function).
    bool exact() const { return exact_; }

    // The byte of a cosine in its bucket, as bucketOf finds it.
    uint8_t byteIn(size_t bucket, float cosine) const {
        const Bucket& entry = buckets_[bucket];
        // Counted, not branched on: which side of a step's start a normal lies is not predictable.
        size_t reached = 0;
        for (size_t slot = 0; slot < kSlots; ++slot) {
            reached += static_cast<size_t>(cosine >= entry.starts[slot]);
        }
        return entry.bytes[reached];
    }

    static constexpr size_t kBuckets = 2048;

private:
    static constexpr size_t kSlots = 2;

    struct Bucket {
        std::array<float, kSlots> starts{};       // the steps that begin in the bucket, ascending
        std::array<uint8_t, kSlots + 1> bytes{};  // the byte of the bucket's lowest cosine, then theirs
    };

public:
    // Rounding keeps the sum and the product monotonic, and so are the bounds and the cut to a
    // whole number: the bucket never decreases as the cosine grows.
    static size_t bucketOf(float cosine) {
        const float scaled = (cosine + 1.0f) * (static_cast<float>(kBuckets) / 2.0f);
        const float low = scaled > 0.0f ? scaled : 0.0f;
        const float bounded = low < static_cast<float>(kBuckets - 1) ? low : static_cast<float>(kBuckets - 1);
        return static_cast<size_t>(static_cast<int32_t>(bounded));
    }

private:
    uint8_t (*stepByte_)(float);
    bool exact_ = true;
    std::array<Bucket, kBuckets> buckets_{};
};

struct NormalSteps {
    CosineSteps polar{polarByteOf};
    CosineSteps azimuthAbove{azimuthByteAboveOf};  // y >= 0
    CosineSteps azimuthBelow{azimuthByteBelowOf};  // y < 0
    bool exact() const { return polar.exact() && azimuthAbove.exact() && azimuthBelow.exact(); }
};

// Found once per process, with the arc cosine of the library the process runs with.
const NormalSteps& normalSteps() {
    static const NormalSteps steps;
    return steps;
}

}  // namespace

int16_t detail::encodeScaledOutside(float scaled, bool& clamped) {
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

namespace {

// The x of (x, y) made unit, as normalize makes it (a zero z adds nothing to the length).
float unitAzimuthCosine(float x, float y) {
    const float length = std::sqrt(x * x + y * y);
    return length == 0.0f || !std::isfinite(length) ? 0.0f : x / length;
}

EncodedNormal lookUpNormal(const NormalSteps& steps, float x, float y, float z, float azimuthCosine) {
    EncodedNormal encoded;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
        return encoded;
    }
    encoded.polar = steps.polar.byteOf(z);
    encoded.azimuth = (y >= 0.0f ? steps.azimuthAbove : steps.azimuthBelow).byteOf(azimuthCosine);
    return encoded;
}

}  // namespace

EncodedNormal encodeNormal(float x, float y, float z) {
    return lookUpNormal(normalSteps(), x, y, z, unitAzimuthCosine(x, y));
}

#if defined(__SSE2__)
namespace {

// bucketOf of four cosines, with the same operations: the sum, the product, then the bounds,
// where a cosine that is not a number goes to bucket 0 as it does there.
__m128i bucketsOf(__m128 cosines) {
    const __m128 scaled = _mm_mul_ps(_mm_add_ps(cosines, _mm_set1_ps(1.0f)),
                                     _mm_set1_ps(static_cast<float>(CosineSteps::kBuckets) / 2.0f));
    const __m128 low = _mm_and_ps(_mm_cmpgt_ps(scaled, _mm_setzero_ps()), scaled);
    const __m128 last = _mm_set1_ps(static_cast<float>(CosineSteps::kBuckets - 1));
    const __m128 belowLast = _mm_cmplt_ps(low, last);
    return _mm_cvttps_epi32(_mm_or_ps(_mm_and_ps(belowLast, low), _mm_andnot_ps(belowLast, last)));
}

// All ones where a value is finite: a finite value less itself is zero, infinity and NaN give NaN.
__m128 finite(__m128 values) { return _mm_cmpeq_ps(_mm_sub_ps(values, values), _mm_setzero_ps()); }

// Four normals at a time, with the operations of unitAzimuthCosine and lookUpNormal; the table
// lookups stay one by one. Answers how many were done: every whole four.
size_t encodeNormalsByFour(const NormalSteps& steps, const float* x, const float* y, const float* z, size_t count,
                           EncodedNormal* out) {
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128 nx = _mm_loadu_ps(x + i);
        const __m128 ny = _mm_loadu_ps(y + i);
        const __m128 nz = _mm_loadu_ps(z + i);
        const __m128 length = _mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(nx, nx), _mm_mul_ps(ny, ny)));
        const __m128 usable = _mm_andnot_ps(_mm_cmpeq_ps(length, _mm_setzero_ps()), finite(length));
        const __m128 azimuthCosine = _mm_and_ps(usable, _mm_div_ps(nx, length));
        const int finiteLanes = _mm_movemask_ps(_mm_and_ps(_mm_and_ps(finite(nx), finite(ny)), finite(nz)));
        const int aboveLanes = _mm_movemask_ps(_mm_cmpge_ps(ny, _mm_setzero_ps()));
        alignas(16) std::array<int32_t, 4> polarBuckets{};
        alignas(16) std::array<int32_t, 4> azimuthBuckets{};
        alignas(16) std::array<float, 4> azimuthCosines{};
        _mm_store_si128(reinterpret_cast<__m128i*>(polarBuckets.data()), bucketsOf(nz));
        _mm_store_si128(reinterpret_cast<__m128i*>(azimuthBuckets.data()), bucketsOf(azimuthCosine));
        _mm_store_ps(azimuthCosines.data(), azimuthCosine);
        for (size_t k = 0; k < 4; ++k) {
            EncodedNormal& encoded = out[i + k];
            if ((finiteLanes & (1 << k)) == 0) {
                encoded = EncodedNormal();
                continue;
            }
            encoded.polar = steps.polar.byteIn(static_cast<size_t>(polarBuckets[k]), z[i + k]);
            const CosineSteps& azimuth = (aboveLanes & (1 << k)) != 0 ? steps.azimuthAbove : steps.azimuthBelow;
            encoded.azimuth = azimuth.byteIn(static_cast<size_t>(azimuthBuckets[k]), azimuthCosines[k]);
        }
    }
    return i;
}

}  // namespace
#endif

void encodeNormals(const float* x, const float* y, const float* z, size_t count, EncodedNormal* out) {
    const NormalSteps& steps = normalSteps();
    size_t done = 0;
#if defined(__SSE2__)
    if (steps.exact()) {
        done = encodeNormalsByFour(steps, x, y, z, count, out);
    }
#endif
    for (size_t i = done; i < count; ++i) {
        out[i] = lookUpNormal(steps, x[i], y[i], z[i], unitAzimuthCosine(x[i], y[i]));
    }
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

std::string nameFieldText(const std::string& name) {
    const std::string text(name.c_str());
    return text.substr(0, kMd3MaxNameLength);
}

bool nameFieldCuts(const std::string& name) { return std::strlen(name.c_str()) > kMd3MaxNameLength; }

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
