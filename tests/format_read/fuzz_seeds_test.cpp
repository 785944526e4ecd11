// The fuzz seeds, written by fuzz/make_seeds.py apart from the C++ code, must all read back whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "model_builders.h"
#include "model_checks.h"
#include "modelformat/md2_reader.h"
#include "modelformat/md3_reader.h"

namespace {

using namespace modelformat;
namespace fs = std::filesystem;

std::vector<fs::path> seedsIn(const std::string& folder) {
    std::vector<fs::path> paths;
    const fs::path dir = fs::path(QMP_FUZZ_CORPUS_DIR) / folder;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, error)) {
        if (entry.is_regular_file()) {
            paths.push_back(entry.path());
        }
    }
    return paths;
}

TEST(FuzzSeeds, Md3SeedsReadWhole) {
    const std::vector<fs::path> seeds = seedsIn("md3");
    ASSERT_GE(seeds.size(), 4u) << "seed folder " << QMP_FUZZ_CORPUS_DIR << "/md3";
    for (const fs::path& seed : seeds) {
        const std::vector<uint8_t> bytes = testmodels::loadFile(seed.string());
        const Md3ReadResult result = readMd3(bytes);
        ASSERT_TRUE(result.ok) << seed << ": " << result.message;
        testmodels::expectConsistent(result.model);
        EXPECT_EQ(readMd2(bytes, 0).error, ReadError::BadMagic) << seed;
        if (seed.filename() == "legacy_tag_name.md3") {
            EXPECT_EQ(result.model.tag(0, 0).name, "tag_torso_01");
        }
        if (seed.filename() == "two_frames_triangles_first.md3") {
            EXPECT_EQ(result.model.tag(1, 1).name, "tag_weapon");
            EXPECT_EQ(result.model.tag(1, 1).origin.x, 1.0f);  // the frame number
            EXPECT_EQ(result.model.surfaces[1].shaders[1].name, "b.tga");
            EXPECT_EQ(result.model.surfaces[1].shaders[1].shaderIndex, 1);
        }
    }
}

TEST(FuzzSeeds, Md2SeedsReadWhole) {
    const std::vector<fs::path> seeds = seedsIn("md2");
    ASSERT_GE(seeds.size(), 4u) << "seed folder " << QMP_FUZZ_CORPUS_DIR << "/md2";
    for (const fs::path& seed : seeds) {
        const std::vector<uint8_t> bytes = testmodels::loadFile(seed.string());
        const Md2ReadResult result = readMd2(bytes, kMd2ImportFrame);
        ASSERT_TRUE(result.ok) << seed << ": " << result.message;
        testmodels::expectConsistent(result.model);
        EXPECT_EQ(readMd3(bytes).error, ReadError::BadMagic) << seed;
        if (seed.filename() == "three_frames.md2") {
            // Frame 1 is translated by (1, -8, 3) with scale (0.5, 0.25, 2); its vertex 1 is (255, 0, 0).
            EXPECT_EQ(result.model.frameIndex, 1);
            EXPECT_EQ(result.model.positions[1].x, 4.0f * (255 * 0.5f + 1.0f));
            EXPECT_EQ(result.model.positions[1].y, 4.0f * 3.0f);
            EXPECT_EQ(result.model.positions[1].z, -4.0f * -8.0f);
        }
        if (seed.filename() == "bad_normal_index.md2") {
            EXPECT_EQ(result.model.badNormalIndexCount, 4u);
        }
    }
}

}  // namespace
