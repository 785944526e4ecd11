// plughost check on files that read but hold what the games cannot use: exit status 1 and a line
// in plain words naming the byte; the import reads the same files, as its policy says.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "model_builders.h"

#include "plughost_process.h"

namespace {

using namespace testmodels;

using plughosttest::CommandRun;
using plughosttest::plughost;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

std::vector<uint8_t> md3(const std::function<void(modelformat::Md3Model&)>& change) {
    modelformat::Md3Model model = makeMd3Model(2, 1, 1);
    change(model);
    return buildMd3(model, SurfaceBlockOrder::ShadersFirst);
}

std::vector<uint8_t> md2(const std::function<void(Md2Build&)>& change) {
    Md2Build build = makeMd2Build(2, 4);
    change(build);
    return buildMd2(build);
}

struct Verdict {
    const char* name;
    std::vector<uint8_t> bytes;
    std::string line;  // what check must print; empty for a file that passes
};

const Verdict kVerdicts[] = {
    {"SoundMd3", md3([](auto&) {}), ""},
    {"SoundMd2", md2([](auto&) {}), ""},
    {"SurfaceFrameCount", md3([](auto& m) {
         m.surfaces[0].header.frameCount = 1;
         m.surfaces[0].vertices.resize(4);
     }),
     // The surface follows the 108-byte header, 2 frame records of 56 and 2 tag records of 112.
     "the game cannot use it: surface surface_0: at byte 516: 1 frame where the file has 2"},
    {"NaNFrameBounds", md3([](auto& m) { m.frames[1].minCorner.z = kNaN; }),
     "the game cannot use it: frames: at byte 172: 1 frame record holds bounds or an origin that are not finite"},
    {"InfiniteFrameOrigin", md3([](auto& m) { m.frames[0].localOrigin.x = std::numeric_limits<float>::infinity(); }),
     "the game cannot use it: frames: at byte 132: "},
    {"NaNTag", md3([](auto& m) { m.tags[1].axes[0].y = kNaN; }),
     "the game cannot use it: tags: at byte 412: 1 tag record holds a transform that is not finite"},
    {"NoFrames", md3([](auto& m) { m = makeMd3Model(0, 0, 0); }),
     "the game cannot use it: file: at byte 76: no frames"},
    {"Md2NormalIndex", md2([](auto& b) { b.frames[0].vertices[1].normalIndex = 162; }),
     "the game cannot use it: frames: at byte "},
    {"Md2GlCommandAtVertex30000", md2([](auto& b) {
         b.glCommands = glCommand(3, {0, 1, 30000});
         b.glCommands.push_back(0);
     }),
     "the game cannot use it: GL commands: at byte "},
};

class CheckVerdict : public ::testing::TestWithParam<Verdict> {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qmp-check-XXXXXX";
        directory_ = mkdtemp(pattern);
        path_ = directory_ + "/model";
        std::ofstream(path_, std::ios::binary)
            .write(reinterpret_cast<const char*>(GetParam().bytes.data()),
                   static_cast<std::streamsize>(GetParam().bytes.size()));
    }
    void TearDown() override { std::system(("rm -rf '" + directory_ + "'").c_str()); }

    std::string directory_;
    std::string path_;
};

TEST_P(CheckVerdict, FailsInPlainWordsWhileTheImportReadsTheFile) {
    const CommandRun check = plughost("check '" + path_ + "'");
    if (GetParam().line.empty()) {
        EXPECT_EQ(check.status, 0) << check.out;
        EXPECT_NE(check.out.find("  passes\n"), std::string::npos) << check.out;
    } else {
        EXPECT_EQ(check.status, 1) << check.out;
        EXPECT_NE(check.out.find("  " + GetParam().line), std::string::npos) << check.out;
        EXPECT_NE(check.out.find("  does not pass\n"), std::string::npos) << check.out;
        const CommandRun json = plughost("check '" + path_ + "' --json");
        EXPECT_EQ(json.status, 1);
        EXPECT_NE(json.out.find("\"passes\": false"), std::string::npos) << json.out;
        EXPECT_NE(json.out.find("\"offset\": "), std::string::npos) << json.out;
    }
    // The import takes what it uses as stored.
    const CommandRun import = plughost("import '" + path_ + "' --json");
    EXPECT_EQ(import.status, 0) << import.out;
}

INSTANTIATE_TEST_SUITE_P(Files, CheckVerdict, ::testing::ValuesIn(kVerdicts),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(CheckVerdict, ARefusalNamesItsByte) {
    std::vector<uint8_t> bytes = buildMd3(makeMd3Model(2, 1, 1), SurfaceBlockOrder::ShadersFirst);
    patchInt32(bytes, kMd3AtTagCount, -3);
    char pattern[] = "/tmp/qmp-check-XXXXXX";
    const std::string directory = mkdtemp(pattern);
    const std::string path = directory + "/negative.md3";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const CommandRun check = plughost("check '" + path + "'");
    std::system(("rm -rf '" + directory + "'").c_str());
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out.find("  breaks the format: at byte 80: tag count is -3\n"), std::string::npos) << check.out;
}

}  // namespace
