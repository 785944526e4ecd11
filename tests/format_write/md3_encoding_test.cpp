// Fixed-point positions, normal bytes, spherical mapping, frame bounds and name texts.
#include <gtest/gtest.h>

#include <cmath>

#include <modelformat/binary_writer.h>
#include <modelformat/md3_encoding.h>
#include <modelformat/md3_reader.h>

using namespace modelformat;

TEST(Md3Encoding, CoordinatesTruncateTowardZeroAndClampAtTheSixteenBitRange) {
    struct Case {
        float coordinate;
        int16_t stored;
        bool clamped;
    };
    const Case cases[] = {
        {1.0f, 64, false},       {1.5f, 96, false},        {-0.3f, -19, false},          {-1.99f, -127, false},
        {511.99f, 32767, false}, {-512.0f, -32768, false}, {512.0f, 32767, true},        {600.0f, 32767, true},
        {-600.0f, -32768, true}, {1e30f, 32767, true},     {-512.015625f, -32768, true},
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
        const double polar = 3.14159265358979 * (i % 20 + 0.5) / 20.0;
        const double azimuth = 2.0 * 3.14159265358979 * (i / 20 + 0.3) / 10.0;
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

TEST(Md3Names, TagNamesAlwaysKeepATerminator) {
    EXPECT_EQ(tagNameFieldText("tag_weapon"), "tag_weapon");
    const std::string longName(70, 'x');
    EXPECT_EQ(tagNameFieldText(longName), std::string(63, 'x'));
    MemoryOutputStream out;
    BinaryWriter writer(out);
    writer.writeTextField(tagNameFieldText(longName), 64);
    ASSERT_EQ(out.bytes().size(), 64u);
    EXPECT_EQ(out.bytes()[62], 'x');
    EXPECT_EQ(out.bytes()[63], 0);
}

TEST(Md3Names, SmartPathStartsAtTheFirstModelsWhereverItStands) {
    EXPECT_EQ(smartPath("C:\\game\\base\\models\\crate\\wood.tga"), "models\\crate\\wood.tga");
    EXPECT_EQ(smartPath("D:\\art\\mymodels\\skin.tga"), "models\\skin.tga");
    EXPECT_EQ(smartPath("D:\\Art\\Models\\skin.tga"), "D:\\Art\\Models\\skin.tga");
    EXPECT_EQ(smartPath("/q3/models/a/models/b.md3"), "models/a/models/b.md3");
}
