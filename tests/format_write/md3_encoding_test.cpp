// Fixed-point positions, normal bytes, spherical mapping, frame bounds and name texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include <modelformat/binary_writer.h>
#include <modelformat/md3_encoding.h>
#include <modelformat/md3_reader.h>

using namespace modelformat;

namespace {

// The normal encoder as it was first written, with an arc cosine per angle: the definition of
// the normal bytes, which the encoder must reproduce bit for bit.
EncodedNormal arcCosineEncodeNormal(float x, float y, float z) {
    constexpr double kInverseTwoPi = 0.15915494309644432;
    constexpr double kByteAngleScale = 40.5845104895933;
    const auto safeAcos = [](double cosine) { return std::acos(std::clamp(cosine, -1.0, 1.0)); };
    const auto angleByte = [](double value) {
        return !(value >= 0.0) ? uint8_t{0} : static_cast<uint8_t>(static_cast<int>(std::min(value, 255.0)) & 0xFF);
    };
    EncodedNormal encoded;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
        return encoded;
    }
    encoded.polar = angleByte(safeAcos(z) * kByteAngleScale);
    float bx = x;
    float by = y;
    const float length = std::sqrt(bx * bx + by * by);
    if (length == 0.0f || !std::isfinite(length)) {
        bx = 0.0f;
    } else {
        bx /= length;
        by /= length;
    }
    const double azimuth = safeAcos(bx);
    encoded.azimuth =
        y >= 0.0f ? angleByte(azimuth * kByteAngleScale) : angleByte((1.0 - azimuth * kInverseTwoPi) * 255.0);
    return encoded;
}

::testing::AssertionResult encodesAsArcCosine(float x, float y, float z) {
    const EncodedNormal expected = arcCosineEncodeNormal(x, y, z);
    const EncodedNormal actual = encodeNormal(x, y, z);
    if (actual.polar == expected.polar && actual.azimuth == expected.azimuth) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "(" << x << ", " << y << ", " << z << ") gives " << int{actual.polar} << "/"
                                         << int{actual.azimuth} << " instead of " << int{expected.polar} << "/"
                                         << int{expected.azimuth};
}

// The floats within `ulps` steps either side of a value.
std::vector<float> floatsAround(double value, int ulps) {
    std::vector<float> floats;
    float below = static_cast<float>(value);
    float above = below;
    floats.push_back(below);
    for (int i = 0; i < ulps; ++i) {
        below = std::nextafter(below, -2.0f);
        above = std::nextafter(above, 2.0f);
        floats.push_back(below);
        floats.push_back(above);
    }
    return floats;
}

}  // namespace

TEST(Md3Encoding, CoordinatesTruncateTowardZeroAndClampAtTheSixteenBitRange) {
    struct Case {
        float coordinate;
        int16_t stored;
        bool clamped;
    };
    const Case cases[] = {
        {1.0f, 64, false},         {1.5f, 96, false},        {-0.3f, -19, false},          {-1.99f, -127, false},
        {511.99f, 32767, false},   {-512.0f, -32768, false}, {512.0f, 32767, true},        {600.0f, 32767, true},
        {-600.0f, -32768, true},   {1e30f, 32767, true},     {-512.015625f, -32768, true}, {511.999f, 32767, false},
        {-512.01f, -32768, false}, {-0.01f, 0, false},
    };
    for (const Case& c : cases) {
        bool clamped = false;
        EXPECT_EQ(encodeCoordinate(c.coordinate, clamped), c.stored) << c.coordinate;
        EXPECT_EQ(clamped, c.clamped) << c.coordinate;
    }
    bool clamped = false;
    EXPECT_EQ(encodeCoordinate(std::nanf(""), clamped), 0);
    EXPECT_TRUE(clamped);
}

TEST(Md3Encoding, NormalBytesFollowTheUnitNormal) {
    struct Case {
        float x, y, z;
        int polar, azimuth;
    };
    const float s3 = 1.0f / std::sqrt(3.0f);
    const float s2 = 1.0f / std::sqrt(2.0f);
    const Case cases[] = {
        {s3, s3, s3, 38, 31},         {0.0f, -0.6f, 0.8f, 26, 191},     {1.0f, 0.0f, 0.0f, 63, 0},
        {0.6f, 0.0f, 0.8f, 26, 0},    {s2, s2, 0.0f, 63, 31},           {s2, -s2, 0.0f, 63, 223},
        {-1.0f, 0.0f, 0.0f, 63, 127}, {1.0f, -0.00001f, 0.0f, 63, 255}, {0.0f, 0.0f, 1.0f, 0, 63},
        {0.0f, 0.0f, -1.0f, 127, 63},
    };
    for (const Case& c : cases) {
        const EncodedNormal n = encodeNormal(c.x, c.y, c.z);
        EXPECT_EQ(n.polar, c.polar) << c.x << "," << c.y << "," << c.z;
        EXPECT_EQ(n.azimuth, c.azimuth) << c.x << "," << c.y << "," << c.z;
    }
    const EncodedNormal broken = encodeNormal(std::nanf(""), 0.0f, 1.0f);
    EXPECT_EQ(broken.polar, 0);
    EXPECT_EQ(broken.azimuth, 0);
}

TEST(Md3Encoding, EncodedNormalsDecodeWithinOneStepOfTheirDirection) {
    // Over a spread of directions, the game's decoding must land near the original.
    const double step = 2.0 * 3.14159265358979 / 256.0;
    for (int i = 0; i < 200; ++i) {
        const int meridian = i / 20;  // ten meridians of twenty directions
        const double polar = 3.14159265358979 * (i % 20 + 0.5) / 20.0;
        const double azimuth = 2.0 * 3.14159265358979 * (meridian + 0.3) / 10.0;
        const float x = static_cast<float>(std::sin(polar) * std::cos(azimuth));
        const float y = static_cast<float>(std::sin(polar) * std::sin(azimuth));
        const float z = static_cast<float>(std::cos(polar));
        const EncodedNormal encoded = encodeNormal(x, y, z);
        const Md3Vec3 decoded = decodeMd3Normal(encoded.polar, encoded.azimuth);
        const double dot = decoded.x * x + decoded.y * y + decoded.z * z;
        EXPECT_GT(dot, std::cos(2.5 * step)) << "polar " << polar << " azimuth " << azimuth;
    }
}

TEST(Md3Encoding, SphericalMappingOfThePrincipalDirections) {
    struct Case {
        float x, y, z;
        float s, t;  // as stored: s = u, t = 1 - v
    };
    const Case cases[] = {
        {1.0f, 0.0f, 0.0f, 0.0f, 0.5f},
        {1.0f, 1.0f, 1.0f, 0.125f, 0.75f},
        {1.0f, -1.0f, 1.0f, 0.875f, 0.75f},
        {-1.0f, 0.0f, 0.0f, 0.5f, 0.5f},
    };
    for (const Case& c : cases) {
        const TextureCoordinate mapped = sphericalMapping(c.x, c.y, c.z);
        EXPECT_NEAR(mapped.u, c.s, 1e-6f);
        EXPECT_NEAR(1.0f - mapped.v, c.t, 1e-6f);
    }
    // -0.0 counts as y >= 0.
    EXPECT_NEAR(sphericalMapping(-1.0f, -0.0f, 0.0f).u, 0.5f, 1e-6f);
    const TextureCoordinate origin = sphericalMapping(0.0f, 0.0f, 0.0f);
    EXPECT_TRUE(std::isfinite(origin.u) && std::isfinite(origin.v));
}

TEST(Md3Encoding, FrameBoundsAndRadius) {
    FrameBounds bounds;
    EXPECT_TRUE(bounds.empty());
    bounds.add({1.0f, -2.0f, 3.0f});
    bounds.add({-4.0f, 1.0f, 0.5f});
    EXPECT_FALSE(bounds.empty());
    EXPECT_EQ(bounds.minCorner().x, -4.0f);
    EXPECT_EQ(bounds.minCorner().y, -2.0f);
    EXPECT_EQ(bounds.minCorner().z, 0.5f);
    EXPECT_EQ(bounds.maxCorner().x, 1.0f);
    EXPECT_EQ(bounds.maxCorner().y, 1.0f);
    EXPECT_EQ(bounds.maxCorner().z, 3.0f);
    EXPECT_FLOAT_EQ(bounds.radius(), std::sqrt(16.0f + 4.0f + 9.0f));
}

// Where a byte changes, the cosine lies within a few floats of the cosine of the byte's angle:
// every such neighbourhood, for the polar byte and the azimuth byte on both sides of the x axis,
// then the ends, zeros and out-of-range components, then millions of random directions and
// vectors of any length.
TEST(Md3Encoding, NormalBytesEqualTheArcCosineEncodersEverywhere) {
    constexpr double kPi = 3.14159265358979323846;
    constexpr double kStep = 2.0 * kPi / 255.0;  // one byte of angle
    // Every normal checked one at a time is checked again among all the others in one run.
    std::vector<float> xs;
    std::vector<float> ys;
    std::vector<float> zs;
    const auto check = [&](float x, float y, float z) {
        xs.push_back(x);
        ys.push_back(y);
        zs.push_back(z);
        return encodesAsArcCosine(x, y, z);
    };
    for (int byte = 0; byte <= 256; ++byte) {
        for (const double angle : {byte * kStep, (1.0 - byte / 255.0) * 2.0 * kPi}) {
            for (const float c : floatsAround(std::cos(angle), 24)) {
                const float side = std::sqrt(std::max(0.0f, 1.0f - c * c));
                EXPECT_TRUE(check(side, 0.0f, c));
                EXPECT_TRUE(check(c, side, 0.0f));
                EXPECT_TRUE(check(c, -side, 0.0f));
                EXPECT_TRUE(check(c * 3.0f, side * 3.0f, c));  // x of (x, y) made unit again
            }
        }
    }
    const float inf = std::numeric_limits<float>::infinity();
    const float specials[] = {0.0f,  -0.0f,  1.0f,    -1.0f,  1.0000001f,   -1.0000001f, 2.0f,
                              -2.0f, 1e-30f, -1e-30f, 1e-40f, -1e-40f,      0.999999f,   -0.999999f,
                              1e30f, -1e30f, inf,     -inf,   std::nanf("")};
    for (const float x : specials) {
        for (const float y : specials) {
            for (const float z : specials) {
                EXPECT_TRUE(check(x, y, z));
            }
        }
    }
    std::mt19937 random(20000);
    std::normal_distribution<float> gaussian;
    std::uniform_real_distribution<float> anyLength(-1.5f, 1.5f);
    for (int i = 0; i < 3000000; ++i) {
        float x = gaussian(random);
        float y = gaussian(random);
        float z = gaussian(random);
        const float length = std::sqrt(x * x + y * y + z * z);
        if (i % 4 == 3) {
            x = anyLength(random);
            y = anyLength(random);
            z = anyLength(random);
        } else if (length > 0.0f) {
            x /= length;
            y /= length;
            z /= length;
        }
        if (!check(x, y, z)) {
            ADD_FAILURE() << encodesAsArcCosine(x, y, z).message();
            break;
        }
    }
    ASSERT_GT(xs.size(), 3000000u);
    // An odd count: the end of the run goes one normal at a time.
    const size_t count = xs.size() | 1u;
    xs.resize(count, 0.3f);
    ys.resize(count, -0.4f);
    zs.resize(count, 0.866f);
    std::vector<EncodedNormal> together(count);
    encodeNormals(xs.data(), ys.data(), zs.data(), count, together.data());
    for (size_t i = 0; i < count; ++i) {
        const EncodedNormal expected = arcCosineEncodeNormal(xs[i], ys[i], zs[i]);
        if (together[i].polar != expected.polar || together[i].azimuth != expected.azimuth) {
            ADD_FAILURE() << "normal " << i << " (" << xs[i] << ", " << ys[i] << ", " << zs[i] << ") in a run gives "
                          << int{together[i].polar} << "/" << int{together[i].azimuth} << " instead of "
                          << int{expected.polar} << "/" << int{expected.azimuth};
            break;
        }
    }
}

// Every name field keeps a zero after its text inside the published 64 bytes: a name is cut from
// its end to 63 characters, and one holding a zero ends there.
TEST(Md3Names, ANameFieldAlwaysKeepsItsTerminator) {
    struct Case {
        std::string name;
        std::string text;  // what the field holds before its zero
        bool cut;
    };
    const Case cases[] = {
        {"tag_weapon", "tag_weapon", false},
        {"", "", false},
        {std::string(63, 'a'), std::string(63, 'a'), false},
        {std::string(64, 'b'), std::string(63, 'b'), true},
        {"models/" + std::string(70, 'c'), "models/" + std::string(56, 'c'), true},
        {std::string("short\0", 6) + std::string(80, 'd'), "short", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(nameFieldText(c.name), c.text) << c.name;
        EXPECT_EQ(nameFieldCuts(c.name), c.cut) << c.name;
        for (int width : {kMd3TagNameLength, kMd3SurfaceNameLength}) {
            MemoryOutputStream out;
            BinaryWriter writer(out);
            writer.writeTextField(nameFieldText(c.name), static_cast<size_t>(width));
            ASSERT_EQ(out.bytes().size(), static_cast<size_t>(width));
            const std::string field(out.bytes().begin(), out.bytes().end());
            EXPECT_EQ(field.substr(0, c.text.size()), c.text);
            // Zeros from the text's end on, the 64th byte and any word after it included.
            EXPECT_EQ(field.find_first_not_of('\0', c.text.size()), std::string::npos) << c.name;
        }
    }
}

TEST(Md3Names, SmartPathStartsAtTheFirstModelsWhereverItStands) {
    EXPECT_EQ(smartPath("C:\\game\\base\\models\\crate\\wood.tga"), "models\\crate\\wood.tga");
    EXPECT_EQ(smartPath("D:\\art\\mymodels\\skin.tga"), "models\\skin.tga");
    EXPECT_EQ(smartPath("D:\\Art\\Models\\skin.tga"), "D:\\Art\\Models\\skin.tga");
    EXPECT_EQ(smartPath("/q3/models/a/models/b.md3"), "models/a/models/b.md3");
}
