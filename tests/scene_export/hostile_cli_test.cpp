// plughost on hostile scene files and extreme options, as a script runs it: one-line errors,
// exit statuses, and notes that stay true.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include "gltf_builder.h"

#include "plughost_process.h"

namespace {

namespace fs = std::filesystem;
using scenetest::GltfBuilder;

constexpr int kTicksPerSecond = 4800;  // the host's clock

using plughosttest::CommandRun;
using plughosttest::plughost;

size_t lineCount(const std::string& text) {
    size_t lines = 0;
    for (char c : text) {
        lines += c == '\n' ? 1 : 0;
    }
    return lines;
}

class HostileSceneCommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qmp-hostile-cli-XXXXXX";
        folder_ = mkdtemp(pattern);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    std::string path(const std::string& name) const { return (folder_ / name).string(); }

    // One tag, tag_a, moving along X with these keys.
    static GltfBuilder movingTag(const std::vector<float>& times) {
        GltfBuilder gltf;
        const int tag = gltf.node({{"name", "tag_a"}});
        std::vector<float> values;
        for (size_t k = 0; k < times.size(); ++k) {
            values.insert(values.end(), {static_cast<float>(k), 0.0f, 0.0f});
        }
        gltf.channel(tag, "translation", times, values);
        return gltf;
    }

private:
    fs::path folder_;
};

TEST_F(HostileSceneCommandLine, RefusesFilesOutsideTheScenesFolderUnlessAllowed) {
    fs::create_directories(path("scene"));
    const GltfBuilder gltf = movingTag({0, 1});
    std::ofstream(path("outside.bin"), std::ios::binary)
        .write(gltf.buffer().data(), static_cast<std::streamsize>(gltf.buffer().size()));
    std::ofstream(path("scene/walk.gltf")) << gltf.document("../outside.bin").dump();

    const std::string arguments = "export '" + path("scene/walk.gltf") + "' '" + path("walk.md3") + "'";
    CommandRun run = plughost(arguments);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_EQ(lineCount(run.out), 1u) << run.out;
    EXPECT_NE(run.out.find("'../outside.bin'"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("--allow-outside-files"), std::string::npos) << run.out;
    EXPECT_FALSE(fs::exists(path("walk.md3")));

    run = plughost(arguments + " --allow-outside-files --from 0 --to 30");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("31 frames, 1 tag"), std::string::npos) << run.out;
}

TEST_F(HostileSceneCommandLine, NotesTheLengthOfAnimationsWithAbsurdKeyTimes) {
    // A key at 1e30 s runs past the host's 32-bit clock: the note gives the clock's last frame.
    std::ofstream(path("long.gltf")) << movingTag({0, 1, 1e30f}).document().dump();
    CommandRun run = plughost("export '" + path("long.gltf") + "' '" + path("long.md3") + "'");
    EXPECT_EQ(run.status, 0) << run.out;
    const int lastFrame = std::numeric_limits<std::int32_t>::max() / (kTicksPerSecond / 30);
    EXPECT_NE(run.out.find("covers frames 0 to " + std::to_string(lastFrame) + " at 30 fps"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("past the end of the host's clock"), std::string::npos) << run.out;

    // An infinite one is dropped: the rest of the animation lasts a second.
    std::ofstream(path("infinite.gltf")) << movingTag({0, 1, std::numeric_limits<float>::infinity()}).document().dump();
    run = plughost("export '" + path("infinite.gltf") + "' '" + path("infinite.md3") + "'");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("covers frames 0 to 30 at 30 fps"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("dropped 1 animation key"), std::string::npos) << run.out;
}

// The clock's extremes: the fastest and slowest frame rates at the first and last tick the host
// counts. The file written must pass the check.
TEST_F(HostileSceneCommandLine, ExportsAtTheEndsOfTheClock) {
    std::ofstream(path("long.gltf")) << movingTag({0, 1, 1e30f}).document().dump();
    const char* extremes[] = {
        "--fps 4800 --time 2147483647 --no-prompts",
        "--fps 4800 --time -2147483648 --no-prompts",
        "--fps 1 --time 2147483647 --no-prompts",
        "--fps 1 --time -2147483648 --no-prompts",
        "--fps 4800 --from 0 --to 400",
        "--fps 1 --from 400 --to 0",
    };
    for (const char* options : extremes) {
        const std::string out = path("clock.md3");
        const CommandRun run = plughost("export '" + path("long.gltf") + "' '" + out + "' " + options);
        EXPECT_EQ(run.status, 0) << options << "\n" << run.out;
        EXPECT_EQ(plughost("check '" + out + "'").status, 0) << options;
        fs::remove(out);
    }
}

TEST_F(HostileSceneCommandLine, ExportsAChainOfNodesThousandsDeep) {
    constexpr int kDepth = 3000;
    GltfBuilder gltf;
    int node = -1;
    for (int i = 0; i + 1 < kDepth; ++i) {
        node = gltf.node({{"name", "link_" + std::to_string(i)}, {"translation", {0, 0.001, 0}}}, node);
    }
    gltf.node({{"name", "tag_end"}}, node);
    std::ofstream(path("deep.gltf")) << gltf.document().dump();
    const CommandRun run = plughost("export '" + path("deep.gltf") + "' '" + path("deep.md3") + "' --from 0 --to 1");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("2 frames, 1 tag"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("tag tag_end"), std::string::npos) << run.out;
}

}  // namespace
