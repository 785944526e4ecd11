// Tests of the bounds-checked byte reader and of loading a stream into memory.
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include "modelformat/byte_reader.h"

namespace {

using modelformat::ByteReader;
using modelformat::FileReadStart;
using modelformat::ReadError;

TEST(ByteReader, AssemblesLittleEndianValuesWhateverTheMachine) {
    const std::vector<uint8_t> bytes = {
        0xFE, 0xFF,              // int16 -2
        0x34, 0x12,              // uint16 0x1234
        0x00, 0x00, 0x00, 0x80,  // int32 INT32_MIN
        0x78, 0x56, 0x34, 0x12,  // uint32 0x12345678
        0x00, 0x00, 0x80, 0x3F,  // float 1.0
        0x00, 0x00, 0x20, 0xC1,  // float -10.0
        0x80,                    // uint8 128
    };
    ByteReader in(bytes.data(), bytes.size());
    int16_t i16 = 0;
    uint16_t u16 = 0;
    int32_t i32 = 0;
    uint32_t u32 = 0;
    float f1 = 0.0f, f2 = 0.0f;
    uint8_t u8 = 0;
    ASSERT_TRUE(in.readInt16(i16) && in.readUInt16(u16) && in.readInt32(i32) && in.readUInt32(u32) &&
                in.readFloat32(f1) && in.readFloat32(f2) && in.readUInt8(u8));
    EXPECT_EQ(i16, -2);
    EXPECT_EQ(u16, 0x1234);
    EXPECT_EQ(i32, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(u32, 0x12345678u);
    EXPECT_EQ(f1, 1.0f);
    EXPECT_EQ(f2, -10.0f);
    EXPECT_EQ(u8, 128);
    EXPECT_EQ(in.remaining(), 0u);
    EXPECT_FALSE(in.failed());
}

TEST(ByteReader, ReadsPastTheEndFailWithoutMovingAndStayFailed) {
    const std::vector<uint8_t> bytes = {1, 2, 3};
    ByteReader in(bytes.data(), bytes.size());
    int32_t value = 77;
    EXPECT_FALSE(in.readInt32(value));  // 3 bytes left, 4 wanted
    EXPECT_EQ(value, 0);
    EXPECT_EQ(in.position(), 0u);
    EXPECT_TRUE(in.failed());

    // The bytes that are there can still be read, but the failure is remembered.
    int16_t pair = 0;
    EXPECT_TRUE(in.readInt16(pair));
    EXPECT_EQ(pair, 0x0201);
    EXPECT_TRUE(in.failed());

    uint8_t buffer[4] = {9, 9, 9, 9};
    EXPECT_FALSE(in.readBytes(buffer, 2));
    // The failed read zeroes what it was asked for and nothing more.
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[1], 0);
    EXPECT_EQ(buffer[2], 9);
    EXPECT_EQ(in.position(), 2u);
    EXPECT_FALSE(in.skip(2));
    EXPECT_TRUE(in.skip(1));
    EXPECT_EQ(in.remaining(), 0u);
}

TEST(ByteReader, SeekAllowsTheEndButNotBeyond) {
    const std::vector<uint8_t> bytes(10, 0xAA);
    ByteReader in(bytes.data(), bytes.size());
    EXPECT_TRUE(in.seek(10));
    EXPECT_FALSE(in.failed());
    uint8_t b = 0;
    EXPECT_FALSE(in.readUInt8(b));
    EXPECT_FALSE(in.seek(11));
    EXPECT_EQ(in.position(), 10u);
    EXPECT_FALSE(in.seek(std::numeric_limits<size_t>::max()));
    EXPECT_TRUE(in.seek(3));
    EXPECT_TRUE(in.readBytes(nullptr, 0));
    EXPECT_EQ(in.position(), 3u);
}

TEST(ByteReader, RangeFitsIsExactAndOverflowSafe) {
    const std::vector<uint8_t> bytes(200, 0);
    ByteReader in(bytes.data(), bytes.size());
    EXPECT_TRUE(in.rangeFits(100, 10, 10));   // ends exactly at 200
    EXPECT_FALSE(in.rangeFits(100, 11, 10));  // one record too many
    EXPECT_FALSE(in.rangeFits(101, 10, 10));
    EXPECT_TRUE(in.rangeFits(200, 0, 12));   // an empty block at the very end
    EXPECT_FALSE(in.rangeFits(201, 0, 12));  // but not after it
    EXPECT_FALSE(in.rangeFits(0, 2000000000, 8));
    // count x size wraps around 2^64 to a small number; still refused.
    EXPECT_FALSE(in.rangeFits(0, (uint64_t{1} << 62) + 1, 4));
    EXPECT_FALSE(in.rangeFits(0, std::numeric_limits<uint64_t>::max(), 2));
    EXPECT_FALSE(in.rangeFits(std::numeric_limits<uint64_t>::max(), 1, 1));
    // A limit below the data size narrows the range; one above it changes nothing.
    EXPECT_TRUE(in.rangeFits(50, 5, 10, 100));
    EXPECT_FALSE(in.rangeFits(50, 6, 10, 100));
    EXPECT_FALSE(in.rangeFits(150, 6, 10, 1000));

    ByteReader empty(nullptr, 100);  // a null pointer never claims bytes
    EXPECT_EQ(empty.size(), 0u);
    EXPECT_TRUE(empty.rangeFits(0, 0, 1000));
    EXPECT_FALSE(empty.rangeFits(0, 1, 1));
}

// A temporary stream holding `size` bytes with values i % 251.
std::FILE* streamOf(size_t size) {
    std::FILE* file = std::tmpfile();
    if (file == nullptr) {
        return nullptr;
    }
    for (size_t i = 0; i < size; ++i) {
        std::fputc(static_cast<int>(i % 251), file);
    }
    std::fflush(file);
    return file;
}

// Whole streams load alike into an ordinary vector and into the reader's FileBytes, which leaves
// the bytes unset until the read fills them.
template <typename Bytes>
class ReadFileBytes : public ::testing::Test {};
using ByteContainers = ::testing::Types<std::vector<uint8_t>, modelformat::FileBytes>;
struct ByteContainerName {
    template <typename Bytes>
    static std::string GetName(int /*index*/) {
        return std::is_same<Bytes, modelformat::FileBytes>::value ? "FileBytes" : "Vector";
    }
};
TYPED_TEST_SUITE(ReadFileBytes, ByteContainers, ByteContainerName);

TYPED_TEST(ReadFileBytes, ReadsFromTheStartOrFromWhereTheStreamStands) {
    const size_t size = 600 * 1024 + 17;  // more than a read chunk, and not a multiple of one
    std::FILE* file = streamOf(size);
    ASSERT_NE(file, nullptr);
    TypeParam bytes;
    ASSERT_EQ(modelformat::readFileBytes(file, FileReadStart::FileStart, bytes), ReadError::None);
    ASSERT_EQ(bytes.size(), size);
    for (size_t i = 0; i < size; i += 997) {
        ASSERT_EQ(bytes[i], i % 251) << i;
    }
    EXPECT_EQ(bytes.back(), (size - 1) % 251);

    // As the importer does: the magic has been read already.
    ASSERT_EQ(std::fseek(file, 4, SEEK_SET), 0);
    ASSERT_EQ(modelformat::readFileBytes(file, FileReadStart::CurrentPosition, bytes), ReadError::None);
    ASSERT_EQ(bytes.size(), size - 4);
    EXPECT_EQ(bytes[0], 4);
    EXPECT_EQ(bytes.back(), (size - 1) % 251);

    // At the end of the stream there is nothing left, which is not an error.
    ASSERT_EQ(modelformat::readFileBytes(file, FileReadStart::CurrentPosition, bytes), ReadError::None);
    EXPECT_TRUE(bytes.empty());
    std::fclose(file);
}

TYPED_TEST(ReadFileBytes, RefusesStreamsLargerThanTheLimit) {
    std::FILE* file = streamOf(70000);
    ASSERT_NE(file, nullptr);
    TypeParam bytes = {1, 2, 3};
    EXPECT_EQ(modelformat::readFileBytes(file, FileReadStart::FileStart, bytes, 69999), ReadError::FileTooLarge);
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(modelformat::readFileBytes(file, FileReadStart::FileStart, bytes, 70000), ReadError::None);
    EXPECT_EQ(bytes.size(), 70000u);
    EXPECT_EQ(modelformat::readFileBytes(nullptr, FileReadStart::FileStart, bytes), ReadError::IoError);
    std::fclose(file);
}

// A pipe tells no length: the bytes arrive a chunk at a time, past any room made in advance.
TYPED_TEST(ReadFileBytes, ReadsStreamsThatCannotSeek) {
    std::FILE* pipe = popen("yes abcdefg | head -c 600000", "r");
    if (pipe == nullptr) {
        GTEST_SKIP() << "no shell to open a pipe with";
    }
    TypeParam bytes;
    EXPECT_EQ(modelformat::readFileBytes(pipe, FileReadStart::CurrentPosition, bytes), ReadError::None);
    pclose(pipe);
    ASSERT_EQ(bytes.size(), 600000u);
    const std::string line = "abcdefg\n";
    for (size_t i = 0; i < bytes.size(); i += 4099) {
        ASSERT_EQ(bytes[i], line[i % line.size()]) << i;
    }
}

}  // namespace
