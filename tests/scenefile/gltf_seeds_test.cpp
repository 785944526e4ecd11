// The glTF fuzz seeds, written by fuzz/make_seeds.py apart from the C++ code, load whole and read
// as that script wrote them.
#include <filesystem>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gltf_interpolation.h"
#include "scene_checks.h"
#include "scene_file.h"

namespace {

namespace fs = std::filesystem;
using host::scenefile::GltfInterpolations;
using host::scenefile::GltfPath;
using host::scenefile::KeyInterpolation;
using scenetest::fromYUp;
using scenetest::near;
using scenetest::ticksAt;

std::vector<fs::path> gltfSeeds() {
    std::vector<fs::path> paths;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(QMP_FUZZ_CORPUS_DIR) / "gltf", error)) {
        // The .bin seeds are for the target's mode that builds scenes in memory from bytes.
        const std::string extension = entry.path().extension().string();
        if (entry.is_regular_file() && (extension == ".gltf" || extension == ".glb")) {
            paths.push_back(entry.path());
        }
    }
    return paths;
}

bool warned(const host::SceneLoadResult& result, const std::string& part) {
    for (const std::string& warning : result.warnings) {
        if (warning.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

TEST(FuzzSeeds, GltfSeedsLoadAsWritten) {
    const std::vector<fs::path> seeds = gltfSeeds();
    ASSERT_GE(seeds.size(), 4u) << "seed folder " << QMP_FUZZ_CORPUS_DIR << "/gltf";
    for (const fs::path& seed : seeds) {
        SCOPED_TRACE(seed.filename().string());
        host::scenefile::GltfDocumentSummary summary;
        ASSERT_TRUE(host::scenefile::readGltfSummary(seed.string(), summary));
        const std::vector<GltfInterpolations>& interpolations = summary.animations;
        host::Scene scene;
        const host::SceneLoadResult result = host::loadSceneFile(seed.string(), {}, scene);
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(interpolations.size(), result.animationNames.size());
        const std::string name = seed.stem().string();
        if (name == "animated_figure") {
            EXPECT_EQ(result.animationNames, (std::vector<std::string>{"walk", "idle"}));
            EXPECT_EQ(interpolations[0].of("tag_step", GltfPath::Translation), KeyInterpolation::Step);
            EXPECT_EQ(interpolations[0].of("nodes[3]", GltfPath::Scale), KeyInterpolation::Step);
            EXPECT_EQ(interpolations[0].of("blob", GltfPath::Weights), KeyInterpolation::Linear);
            EXPECT_FALSE(interpolations[0].cubicSpline);
            EXPECT_TRUE(interpolations[1].cubicSpline);
            host::SceneNode* tag = scene.findNode("tag_step");
            ASSERT_NE(tag, nullptr);
            EXPECT_TRUE(near(tag->localTransform(ticksAt(0.49)).GetTrans(), fromYUp(1, 0, 0)));
            EXPECT_TRUE(near(tag->localTransform(ticksAt(0.5)).GetTrans(), fromYUp(1, 0, 1)));
        } else if (name == "odd_keys") {
            EXPECT_TRUE(warned(result, "not a finite number"));
            EXPECT_TRUE(warned(result, "earlier than the key before"));
            EXPECT_TRUE(warned(result, "past the end of the host's clock"));
            EXPECT_EQ(result.lengthFrames, std::numeric_limits<std::int32_t>::max() / GetTicksPerFrame());
        } else if (name == "deep_and_crowded") {
            EXPECT_EQ(result.nodeCount, 64 + 1 + 1 + 16);
            host::SceneNode* end = scene.findNode("tag_end");
            ASSERT_NE(end, nullptr);
            EXPECT_TRUE(near(end->GetNodeTM(0).GetTrans(), fromYUp(0, 6.4, 0), 1e-3f));
            // The crowd's names stay as the file gives them, every one "n".
            const std::vector<host::SceneNode*>& crowd = scene.findNode("crowd")->children();
            EXPECT_EQ(crowd.size(), 16u);
            for (host::SceneNode* node : crowd) {
                EXPECT_EQ(node->name(), "n");
            }
        }
    }
}

}  // namespace
