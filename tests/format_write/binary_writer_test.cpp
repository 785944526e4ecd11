// Little-endian primitives, text fields and patch sites.
#include <gtest/gtest.h>

#include <modelformat/binary_writer.h>

using namespace modelformat;

namespace {
std::vector<uint8_t> bytesOf(std::initializer_list<int> values) {
    std::vector<uint8_t> bytes;
    for (int v : values) {
        bytes.push_back(static_cast<uint8_t>(v));
    }
    return bytes;
}
}  // namespace

TEST(BinaryWriter, PrimitivesAreLittleEndian) {
    MemoryOutputStream out;
    BinaryWriter writer(out);
    writer.writeInt16(-2);
    writer.writeInt16(0x12345);  // only the low 16 bits
    writer.writeInt32(0x01020304);
    writer.writeFloat32(1.0f);
    writer.writeUInt8(0xAB);
    EXPECT_EQ(out.bytes(), bytesOf({0xFE, 0xFF, 0x45, 0x23, 0x04, 0x03, 0x02, 0x01, 0x00, 0x00, 0x80, 0x3F, 0xAB}));
}

TEST(BinaryWriter, TextFieldsCutAtTheirWidthAndPadWithZeros) {
    MemoryOutputStream out;
    BinaryWriter writer(out);
    writer.writeTextField("abc", 6);
    writer.writeTextField("abcdef", 6);  // exactly the width: no terminator
    writer.writeTextField("abcdefgh", 6);
    EXPECT_EQ(out.bytes(),
              bytesOf({'a', 'b', 'c', 0, 0, 0, 'a', 'b', 'c', 'd', 'e', 'f', 'a', 'b', 'c', 'd', 'e', 'f'}));
}

TEST(BinaryWriter, PatchSitesHoldPositionsRelativeToTheirBase) {
    MemoryOutputStream out;
    BinaryWriter writer(out);
    writer.writeInt32(7);
    const PatchSite fromFile = writer.reserveOffset(256);
    const PatchSite fromRecord = writer.reserveOffset(512, 4);
    EXPECT_FALSE(writer.allPatched());
    writer.writeInt16(0);
    writer.patchWithCurrentPosition(fromFile);
    writer.patchWithCurrentPosition(fromRecord);
    EXPECT_TRUE(writer.allPatched());
    writer.writeUInt8(9);  // writing goes on where it was
    EXPECT_EQ(out.bytes(), bytesOf({7, 0, 0, 0, 14, 0, 0, 0, 10, 0, 0, 0, 0, 0, 9}));
    EXPECT_FALSE(writer.failed());
}
