// plughost's command line read into requests: numbers and their bounds, which file is which, the
// last of a repeated option, "--", and the refusals that are usage errors.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include <command_line.h>

namespace {

using Args = std::vector<std::string>;

struct WholeCase {
    const char* text;
    long long min;
    long long max;
    bool accepted;
    long long value;
};

class WholeNumbers : public ::testing::TestWithParam<WholeCase> {};

TEST_P(WholeNumbers, AreDecimalAndWithinTheirBounds) {
    const WholeCase& c = GetParam();
    long long value = -12345;
    EXPECT_EQ(host::parseWholeNumber(c.text, c.min, c.max, value), c.accepted) << "'" << c.text << "'";
    EXPECT_EQ(value, c.accepted ? c.value : -12345) << "'" << c.text << "'";
}

INSTANTIATE_TEST_SUITE_P(CommandLine, WholeNumbers,
                         ::testing::Values(WholeCase{"0", 0, 400, true, 0}, WholeCase{"400", 0, 400, true, 400},
                                           WholeCase{"401", 0, 400, false, 0}, WholeCase{"-1", 0, 400, false, 0},
                                           WholeCase{"010", 0, 400, true, 10},  // decimal, not octal
                                           WholeCase{"0x10", 0, 400, false, 0}, WholeCase{" 5", 0, 400, false, 0},
                                           WholeCase{"5 ", 0, 400, false, 0}, WholeCase{"+5", 0, 400, false, 0},
                                           WholeCase{"", 0, 400, false, 0}, WholeCase{"1e2", 0, 400, false, 0},
                                           WholeCase{"3.0", 0, 400, false, 0},
                                           WholeCase{"99999999999999999999", 0, LLONG_MAX, false, 0},
                                           WholeCase{"-2147483648", INT32_MIN, INT32_MAX, true, INT32_MIN},
                                           WholeCase{"2147483648", INT32_MIN, INT32_MAX, false, 0}));

TEST(CommandLineRealNumbers, AreFiniteAndWrittenOut) {
    const std::pair<const char*, double> accepted[] = {{"0.4", 0.4}, {"40", 40.0}, {"1e-2", 0.01}, {"-3.5", -3.5}};
    for (const auto& [text, expected] : accepted) {
        double value = 0.0;
        EXPECT_TRUE(host::parseRealNumber(text, value)) << text;
        EXPECT_DOUBLE_EQ(value, expected) << text;
    }
    for (const char* text : {"", "inf", "nan", "1e999", "0x1p3", " 1", "1 ", "1,5", "+1", "one"}) {
        double value = 7.0;
        EXPECT_FALSE(host::parseRealNumber(text, value)) << text;
        EXPECT_EQ(value, 7.0) << text;
    }
}

host::ExportRequest exportRequest(const Args& args) {
    const host::ParsedArgs<host::ExportRequest> parsed = host::parseExportArgs(args);
    EXPECT_TRUE(parsed.request.has_value());
    return parsed.request.value_or(host::ExportRequest());
}

TEST(CommandLineExport, OneFileIsTheOutputTwoAreSceneAndOutput) {
    EXPECT_EQ(exportRequest({}).outputPath, "demo.md3");
    host::ExportRequest request = exportRequest({"out.md3"});
    EXPECT_EQ(request.scenePath, "");
    EXPECT_EQ(request.outputPath, "out.md3");
    request = exportRequest({"walker.glb", "--from", "3", "upper.md3"});
    EXPECT_EQ(request.scenePath, "walker.glb");
    EXPECT_EQ(request.outputPath, "upper.md3");
    request = exportRequest({"--to", "9", "--", "-scene.glb", "--from"});
    EXPECT_EQ(request.scenePath, "-scene.glb");
    EXPECT_EQ(request.outputPath, "--from");
    EXPECT_EQ(request.dialog.from, -1);
    EXPECT_EQ(request.dialog.to, 9);
}

TEST(CommandLineExport, OptionsFillTheRequestAndTheLastOfARepeatedOneCounts) {
    host::ExportRequest request = exportRequest(
        {"--from",  "3",     "--from=010",  "--only-tags", "tag_a,tag_b",     "--no-relative", "--keep-bip",
         "--time",  "-4800", "--select",    "a,b",         "--selected-only", "--fps",         "15",
         "--scale", "0.25",  "--animation", "2",           "s.glb",           "o.md3"});
    EXPECT_EQ(request.dialog.from, 10);
    EXPECT_EQ(request.dialog.to, -1);
    EXPECT_TRUE(request.dialog.useTags);
    EXPECT_EQ(request.dialog.tags, "tag_a,tag_b");
    EXPECT_FALSE(request.dialog.useObjects);
    EXPECT_FALSE(request.dialog.relative);
    EXPECT_FALSE(request.dialog.ignoreBip);
    EXPECT_TRUE(request.dialog.smartPaths);
    EXPECT_TRUE(request.dialog.warnings);
    EXPECT_EQ(request.time, -4800);
    EXPECT_EQ(request.selection, "a,b");
    EXPECT_TRUE(request.selectedOnly);
    EXPECT_FALSE(request.noPrompts);
    EXPECT_EQ(request.sceneOptions.frameRate, 15);
    EXPECT_FLOAT_EQ(request.sceneOptions.scale, 0.25f);
    EXPECT_EQ(request.sceneOptions.animationIndex, 2);
    EXPECT_TRUE(request.warnings.empty());

    EXPECT_TRUE(exportRequest({"--animation", "all", "s.glb", "o.md3"}).sceneOptions.allAnimations);
    EXPECT_EQ(exportRequest({"--animation", "walk", "s.glb", "o.md3"}).sceneOptions.animationName, "walk");
    EXPECT_EQ(exportRequest({"--animation", "-1", "s.glb", "o.md3"}).sceneOptions.animationName, "-1");
    EXPECT_EQ(exportRequest({"--only-objects", std::string(127, 'a')}).warnings.size(), 1u);
    EXPECT_TRUE(exportRequest({"--only-objects", std::string(126, 'a')}).warnings.empty());
}

TEST(CommandLineExport, RefusalsAreUsageErrorsAndHelpIsNot) {
    const Args refused[] = {
        {"--from", "401"},
        {"--to", "-1"},
        {"--fps", "0", "s.glb", "o.md3"},
        {"--fps", "4801", "s", "o"},
        {"--scale", "0", "s", "o"},
        {"--scale", "-2", "s", "o"},
        {"--scale", "1e39", "s", "o"},
        {"--time", "2147483648"},
        {"--animation", "4294967296", "s", "o"},
        {"--fps", "30", "out.md3"},  // scene options without a scene file
        {"--no-prompts", "--from", "1"},
        {"--no-prompts", "--no-warnings"},
        {"--texture-folder", "models/x", "out.md3"},  // a scene option without a scene file
        {"--force", "s.glb", "o.md3"},                // --force without --write-textures
        {"--texture-folder", "../models", "s", "o"},
        {"a", "b", "c"},
        {"--bogus"},
        {"--from"},
        {"", "o.md3"},
    };
    for (const Args& args : refused) {
        const host::ParsedArgs<host::ExportRequest> parsed = host::parseExportArgs(args);
        EXPECT_FALSE(parsed.request.has_value()) << ::testing::PrintToString(args);
        EXPECT_EQ(parsed.status, host::kExitUsage) << ::testing::PrintToString(args);
    }
    const host::ParsedArgs<host::ExportRequest> help = host::parseExportArgs({"--from", "3", "-h"});
    EXPECT_FALSE(help.request.has_value());
    EXPECT_EQ(help.status, host::kExitOk);
}

TEST(CommandLineImport, AllFramesTakesAFrameRateAndOnlyItDoes) {
    host::ParsedArgs<host::ImportRequest> parsed = host::parseImportArgs({"in.md3", "out.glb"});
    ASSERT_TRUE(parsed.request.has_value());
    EXPECT_FALSE(parsed.request->allFrames);
    EXPECT_EQ(parsed.request->framesPerSecond, host::kDefaultFrameRate);
    parsed = host::parseImportArgs({"--fps", "15", "in.md3", "out.glb", "--all-frames"});
    ASSERT_TRUE(parsed.request.has_value());
    EXPECT_TRUE(parsed.request->allFrames);
    EXPECT_EQ(parsed.request->framesPerSecond, 15);
    for (const Args& args :
         {Args{"in.md3", "--fps", "15"}, Args{"in.md3", "--all-frames", "--fps", "0"},
          Args{"in.md3", "--all-frames", "--fps", "4801"}, Args{"in.md3", "--all-frames", "--fps"}}) {
        parsed = host::parseImportArgs(args);
        EXPECT_FALSE(parsed.request.has_value()) << ::testing::PrintToString(args);
        EXPECT_EQ(parsed.status, host::kExitUsage) << ::testing::PrintToString(args);
    }
}

TEST(CommandLineExport, TextureOptionsFillTheRequest) {
    host::ExportRequest request = exportRequest({"s.glb", "o.md3"});
    EXPECT_FALSE(request.textureFolder.has_value());
    EXPECT_FALSE(request.writeTextures);
    EXPECT_FALSE(request.force);
    request =
        exportRequest({"--texture-folder", "models\\players\\ball\\", "--write-textures", "--force", "s.glb", "o.md3"});
    EXPECT_EQ(request.textureFolder.value_or(""), "models/players/ball");
    EXPECT_TRUE(request.writeTextures);
    EXPECT_TRUE(request.force);
}

// Texture folders go into shader names and below the game's folder: relative, without parts that
// climb out or say nothing, and short enough to leave a name room in 63 characters.
TEST(CommandLineTextureFolders, AreRelativeAndBounded) {
    const std::pair<std::string, std::string> accepted[] = {
        {"models/players/ball", "models/players/ball"},
        {"textures/props/", "textures/props"},
        {"models\\mapobjects", "models/mapobjects"},
        {"a", "a"},
        {std::string(host::kTextureFolderLimit, 'm'), std::string(host::kTextureFolderLimit, 'm')},
    };
    for (const auto& [text, expected] : accepted) {
        std::string folder;
        EXPECT_TRUE(host::parseTextureFolder(text, folder)) << text;
        EXPECT_EQ(folder, expected) << text;
    }
    for (const std::string& text :
         {std::string(""), std::string("/"), std::string("/models/x"), std::string("C:/models"),
          std::string("models/../../etc"), std::string(".."), std::string("models/./x"), std::string("models//x"),
          std::string("\\\\server\\share"), std::string("models/\nx"),
          std::string(host::kTextureFolderLimit + 1, 'm')}) {
        std::string folder = "kept";
        EXPECT_FALSE(host::parseTextureFolder(text, folder)) << text;
        EXPECT_EQ(folder, "kept") << text;
    }
}

TEST(CommandLineProgram, CommonOptionsThenTheCommandAndItsArguments) {
    host::ParsedArgs<host::CommandLine> parsed =
        host::parseCommandLine({"--plugins", "mods", "check", "f.md3", "--json"});
    ASSERT_TRUE(parsed.request.has_value());
    EXPECT_EQ(parsed.request->common.pluginFolder, "mods");
    const auto* check = std::get_if<host::CheckRequest>(&parsed.request->command);
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->input, "f.md3");
    EXPECT_TRUE(check->json);

    parsed = host::parseCommandLine({"--", "import", "in.md3", "--", "--out.glb"});
    ASSERT_TRUE(parsed.request.has_value());
    const auto* import = std::get_if<host::ImportRequest>(&parsed.request->command);
    ASSERT_NE(import, nullptr);
    EXPECT_EQ(import->input, "in.md3");
    EXPECT_EQ(import->output, "--out.glb");

    // A command's own option given before the command is plughost's, and unknown to it.
    for (const Args& args : {Args{}, Args{"frobnicate"}, Args{"--json", "plugins"}, Args{"--plugins"}, Args{"import"},
                             Args{"check", "a", "b"}, Args{"plugins", "extra"}}) {
        parsed = host::parseCommandLine(args);
        EXPECT_FALSE(parsed.request.has_value()) << ::testing::PrintToString(args);
        EXPECT_EQ(parsed.status, host::kExitUsage) << ::testing::PrintToString(args);
    }
    for (const Args& args : {Args{"help"}, Args{"--help"}, Args{"plugins", "--help"}}) {
        parsed = host::parseCommandLine(args);
        EXPECT_FALSE(parsed.request.has_value()) << ::testing::PrintToString(args);
        EXPECT_EQ(parsed.status, host::kExitOk) << ::testing::PrintToString(args);
    }
}

}  // namespace
