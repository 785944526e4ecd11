// plughost as a script sees it: exit statuses, one-line errors, and files that pass the check.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "plughost_process.h"

namespace {

using plughosttest::CommandRun;
using plughosttest::plughost;

std::string quoted(const std::string& path) { return "'" + path + "'"; }

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t littleEndian32(const std::string& bytes, size_t at) {
    std::uint32_t value = 0;
    for (int b = 3; b >= 0; --b) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<size_t>(b)]);
    }
    return value;
}

// The first image of a GLB as the file holds it: its buffer view in the binary chunk, which
// follows the 12-byte header and the JSON chunk (8 bytes of length and type, then the text).
std::string firstGlbImage(const std::string& path) {
    const std::string glb = fileText(path);
    const std::uint32_t jsonLength = littleEndian32(glb, 12);
    const nlohmann::json document = nlohmann::json::parse(glb.substr(20, jsonLength));
    const nlohmann::json& view = document.at("bufferViews").at(document.at("images").at(0).at("bufferView").get<int>());
    const size_t binary = 20 + jsonLength + 8;
    return glb.substr(binary + view.value("byteOffset", 0), view.at("byteLength").get<size_t>());
}

class PlughostCommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qmp-cli-XXXXXX";
        directory_ = mkdtemp(pattern);
    }
    void TearDown() override { std::system(("rm -rf '" + directory_ + "'").c_str()); }
    std::string path(const std::string& name) const { return directory_ + "/" + name; }

private:
    std::string directory_;
};

}  // namespace

TEST_F(PlughostCommandLine, UsageErrorsAnswerTwoWithOneLine) {
    const char* cases[] = {
        "",
        "frobnicate",
        "export --from 401 x.md3",
        "export --from",
        "export --bogus x.md3",
        "export a b c",
        "export missing-scene.gltf x.md3",
        "export x.md3 --fps 30",
        "import",
        "import missing.md3",
        "check missing.md3",
        "plugins extra",
    };
    for (const char* arguments : cases) {
        const CommandRun run = plughost(arguments);
        EXPECT_EQ(run.status, 2) << arguments << "\n" << run.out;
        EXPECT_FALSE(run.out.empty()) << arguments;
    }
    const CommandRun missing = plughost("import /nonexistent/file.md3");
    EXPECT_EQ(missing.out, "plughost import: cannot open '/nonexistent/file.md3'\n");
}

TEST_F(PlughostCommandLine, EveryCommandHasHelpWithExamples) {
    for (const char* command : {"--help", "export --help", "import --help", "check --help", "plugins --help"}) {
        const CommandRun run = plughost(command);
        EXPECT_EQ(run.status, 0) << command;
        EXPECT_NE(run.out.find("usage: plughost"), std::string::npos) << command;
    }
    for (const char* command : {"export --help", "import --help", "check --help"}) {
        EXPECT_NE(plughost(command).out.find("examples:"), std::string::npos) << command;
    }
}

TEST_F(PlughostCommandLine, ExportsCheckAndImportsAnswerForWhatTheyDid) {
    const std::string demo = path("demo.md3");
    CommandRun run = plughost("export '" + demo + "' --from 0 --to 39");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("40 frames, 3 tags, 4 surfaces"), std::string::npos) << run.out;
    // Not a terminal: no progress line, no escape codes.
    EXPECT_EQ(run.out.find('\033'), std::string::npos);
    EXPECT_EQ(plughost("check '" + demo + "'").status, 0);

    const std::string scene = std::string(QMP_SCENE_DATA_DIR) + "/figure.gltf";
    const std::string figure = path("figure.md3");
    run = plughost("export '" + scene + "' '" + figure + "' --from 0 --to 10 --no-warnings");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("11 frames, 2 tags"), std::string::npos) << run.out;
    EXPECT_EQ(plughost("check '" + figure + "' --json").status, 0);

    run = plughost("import '" + figure + "' '" + path("figure.glb") + "'");
    EXPECT_EQ(run.status, 0) << run.out;
    std::ifstream saved(path("figure.glb"), std::ios::binary);
    EXPECT_TRUE(saved.good());

    // Files that are not what they claim: the command says so and answers 1.
    std::ofstream(path("not-a-model.md3")) << "hello, this is text";
    EXPECT_EQ(plughost("import '" + path("not-a-model.md3") + "'").status, 1);
    EXPECT_EQ(plughost("check '" + path("not-a-model.md3") + "'").status, 1);
    std::ofstream(path("broken.gltf")) << "{ not json";
    run = plughost("export '" + path("broken.gltf") + "' '" + path("out.md3") + "'");
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("cannot load the scene"), std::string::npos) << run.out;
    // An export that cannot be written fails and leaves nothing.
    run = plughost("export '" + path("no-folder/out.md3") + "'");
    EXPECT_EQ(run.status, 1) << run.out;
    // Nothing passes the filters: the exporter writes no file, and for a script that is a failure.
    run = plughost("export '" + path("empty.md3") + "' --only-objects nosuchnode --only-tags tag_nosuch");
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("no file was written"), std::string::npos) << run.out;
    EXPECT_FALSE(std::ifstream(path("empty.md3")).good());
}

TEST_F(PlughostCommandLine, AllFramesSavesEveryFrameAndSaysHowToExportItBack) {
    const std::string demo = path("demo.md3");
    ASSERT_EQ(plughost("export " + quoted(demo) + " --from 0 --to 9").status, 0);

    CommandRun run = plughost("import " + quoted(demo) + " " + quoted(path("demo.glb")) + " --all-frames --fps 15");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("10 frames at 15 frames per second"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("with --fps 15 --from 0 --to 9"), std::string::npos) << run.out;
    run = plughost("export " + quoted(path("demo.glb")) + " " + quoted(path("back.md3")) +
                   " --fps 15 --from 0 --to 9 --no-relative --no-warnings");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("10 frames, 3 tags, 4 surfaces"), std::string::npos) << run.out;

    // A format without animation keeps frame 0, and says so.
    run = plughost("import " + quoted(demo) + " " + quoted(path("demo.obj")) + " --all-frames");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("keeps no animation: frame 0 of 10 was saved"), std::string::npos) << run.out;
    EXPECT_TRUE(std::ifstream(path("demo.obj")).good());

    // The importer's one frame takes no frame rate; a file that is no model is refused.
    EXPECT_EQ(plughost("import " + quoted(demo) + " --fps 15").status, 2);
    std::ofstream(path("text.md3")) << "hello, this is text";
    run = plughost("import " + quoted(path("text.md3")) + " " + quoted(path("text.glb")) + " --all-frames");
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("not an MD3 or MD2 file"), std::string::npos) << run.out;
    EXPECT_FALSE(std::ifstream(path("text.glb")).good());
}

TEST_F(PlughostCommandLine, PluginsListsBothModules) {
    const CommandRun run = plughost("plugins --json");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("\"file\": \"Brindlark.dle\""), std::string::npos);
    EXPECT_NE(run.out.find("\"file\": \"Corvinale.dli\""), std::string::npos);
    EXPECT_NE(run.out.find("\"extensions\": [\"MD2\", \"MD3\"]"), std::string::npos);
    const CommandRun elsewhere = plughost("--plugins /nonexistent plugins");
    EXPECT_EQ(elsewhere.status, 1);
    EXPECT_NE(elsewhere.out.find("/nonexistent"), std::string::npos);
}

namespace {

// plughost under a time limit (status 124 when it runs out), for commands that could wait for ever.
CommandRun plughostWithin(int seconds, const std::string& arguments) {
    return plughosttest::runShell("timeout " + std::to_string(seconds) + " " + std::string(QMP_PLUGHOST) + " " +
                                  arguments);
}

// The lines of a command's output, for "exactly one line" checks.
int lineCount(const std::string& text) {
    int lines = 0;
    for (char c : text) {
        lines += c == '\n' ? 1 : 0;
    }
    return lines;
}

}  // namespace

// Refusals of an output that would destroy a file the person did not mean to write: one line,
// status 2, the file as it was.
TEST_F(PlughostCommandLine, RefusesAnOutputThatWouldDestroyTheInput) {
    const std::string scene = path("scene.gltf");
    std::ofstream(scene) << fileText(std::string(QMP_SCENE_DATA_DIR) + "/figure.gltf");
    const std::string original = fileText(scene);
    ASSERT_FALSE(original.empty());
    ASSERT_EQ(symlink(scene.c_str(), path("link.gltf").c_str()), 0);
    std::ofstream(path("notes.txt")) << "not a model";
    ASSERT_EQ(plughost("export " + quoted(path("model.md3"))).status, 0);

    struct Case {
        std::string arguments;
        std::string untouched;  // the file that must stay as it was
    };
    const Case refused[] = {
        {"export " + quoted(scene) + " " + quoted(scene), scene},              // OUT is the scene
        {"export " + quoted(scene) + " " + quoted(path("link.gltf")), scene},  // ... through a link
        {"export " + quoted(scene), scene},                                    // a forgotten OUT
        {"export " + quoted(path("notes.txt")), path("notes.txt")},            // not an MD3 there
        {"export " + quoted(path("model.md3")) + " " + quoted(path("model.md3")), path("model.md3")},  // an MD3 scene
        {"import " + quoted(path("model.md3")) + " " + quoted(path("model.md3")), path("model.md3")},
    };
    for (const Case& c : refused) {
        const std::string before = fileText(c.untouched);
        const CommandRun run = plughost(c.arguments);
        EXPECT_EQ(run.status, 2) << c.arguments << "\n" << run.out;
        EXPECT_EQ(lineCount(run.out), 1) << c.arguments << "\n" << run.out;
        EXPECT_TRUE(fileText(c.untouched) == before) << c.arguments;
    }
    EXPECT_TRUE(fileText(scene) == original);

    // An MD3 under another name, or a new file of any name, is what the person asked for.
    ASSERT_EQ(std::rename(path("model.md3").c_str(), path("model.bin").c_str()), 0);
    EXPECT_EQ(plughost("export " + quoted(path("model.bin"))).status, 0);
    EXPECT_EQ(plughost("export " + quoted(path("new.out"))).status, 0);
    EXPECT_EQ(fileText(path("new.out")).substr(0, 4), "IDP3");
}

TEST_F(PlughostCommandLine, ImportSavesOnlyOverRegularFiles) {
    const std::string model = path("model.md3");
    ASSERT_EQ(plughost("export " + quoted(model)).status, 0);
    ASSERT_EQ(mkfifo(path("pipe.glb").c_str(), 0600), 0);
    ASSERT_EQ(mkdir(path("folder.glb").c_str(), 0700), 0);
    for (const char* output : {"pipe.glb", "folder.glb"}) {
        // A save into the pipe would wait for a reader for ever; the time limit turns that into 124.
        const CommandRun run = plughostWithin(60, "import " + quoted(model) + " " + quoted(path(output)));
        EXPECT_EQ(run.status, 1) << output << "\n" << run.out;
        EXPECT_NE(run.out.find("not a regular file"), std::string::npos) << run.out;
    }
    struct stat info {};
    ASSERT_EQ(stat(path("pipe.glb").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

// A folder given as the file to read is an input that cannot be opened, for every command that
// reads files only; check takes a folder as a player's (and fails one that holds no player).
TEST_F(PlughostCommandLine, AFolderAsInputIsAUsageErrorForEveryCommand) {
    const std::string folder = path("models.md3");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    EXPECT_EQ(plughost("check " + quoted(folder)).status, 1);
    for (const std::string& arguments :
         {"import " + quoted(folder), "export " + quoted(folder) + " " + quoted(path("x.md3"))}) {
        const CommandRun run = plughost(arguments);
        EXPECT_EQ(run.status, 2) << arguments << "\n" << run.out;
        EXPECT_EQ(lineCount(run.out), 1) << run.out;
        EXPECT_NE(run.out.find("it is a folder"), std::string::npos) << run.out;
    }
    EXPECT_FALSE(std::ifstream(path("x.md3")).good());
}

// After "--" an argument that starts with '-' is a file's name, for every command that takes one.
TEST_F(PlughostCommandLine, DoubleDashEndsTheOptions) {
    const std::string folder = path("dashes");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const auto statusIn = [&folder](const std::string& arguments) {
        const std::string command =
            "cd " + quoted(folder) + " && " + std::string(QMP_PLUGHOST) + " " + arguments + " >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(statusIn("export -model.md3"), 2);  // an unknown option
    EXPECT_FALSE(std::ifstream(folder + "/-model.md3").good());
    EXPECT_EQ(statusIn("export --from 0 --to 2 -- -model.md3"), 0);
    EXPECT_EQ(fileText(folder + "/-model.md3").substr(0, 4), "IDP3");
    EXPECT_EQ(statusIn("check -- -model.md3"), 0);
    EXPECT_EQ(statusIn("import --json -- -model.md3 -model.gltf"), 0);
    EXPECT_TRUE(std::ifstream(folder + "/-model.gltf").good());
    EXPECT_EQ(statusIn("-- plugins"), 0);
}

// Without the dialog nothing would move its sliders or tick its boxes: asking for both is refused
// with one line naming the dialog options given.
TEST_F(PlughostCommandLine, NoPromptsRefusesTheDialogOptions) {
    const std::string out = quoted(path("still.md3"));
    for (const std::string& options :
         {std::string("--from 5"), std::string("--to 9"), std::string("--only-objects arm"),
          std::string("--only-tags tag_head"), std::string("--no-relative --keep-bip")}) {
        const CommandRun run = plughost("export " + out + " --no-prompts " + options);
        EXPECT_EQ(run.status, 2) << options << "\n" << run.out;
        EXPECT_EQ(lineCount(run.out), 1) << run.out;
        EXPECT_NE(run.out.find(options.substr(0, options.find(' '))), std::string::npos) << run.out;
    }
    EXPECT_FALSE(std::ifstream(path("still.md3")).good());
    const CommandRun still = plughost("export " + out + " --no-prompts --time 1600");
    EXPECT_EQ(still.status, 0) << still.out;
    EXPECT_NE(still.out.find("1 frame, 3 tags"), std::string::npos) << still.out;
}

// The dialog's name fields keep 126 characters: a longer list is cut there, as in the dialog, and
// the command says what was cut. The demo scene has tag_torso, tag_head and tag_weapon.
TEST_F(PlughostCommandLine, ANameListLongerThanTheDialogsFieldIsCutWithAWarning) {
    struct Case {
        size_t filler;        // length of a name between the two real tags
        const char* summary;  // what the export wrote
        const char* cut;      // the warning's cut-off text, or null for no warning
    };
    // "tag_torso," + filler + ",tag_head" is 19 + filler characters long.
    const Case cases[] = {
        {107, "2 tags", nullptr},            // 126 characters: all kept
        {108, "1 tag,", "'d'"},              // 127: "tag_head" loses its last letter
        {120, "1 tag,", "'xxxx,tag_head'"},  // 139
    };
    for (const Case& c : cases) {
        const std::string list = "tag_torso," + std::string(c.filler, 'x') + ",tag_head";
        const CommandRun run = plughost("export " + quoted(path("cut.md3")) + " --only-tags " + list);
        EXPECT_EQ(run.status, 0) << run.out;
        EXPECT_NE(run.out.find(c.summary), std::string::npos) << list.size() << "\n" << run.out;
        const size_t warning = run.out.find("warning: --only-tags");
        if (c.cut == nullptr) {
            EXPECT_EQ(warning, std::string::npos) << run.out;
        } else {
            ASSERT_NE(warning, std::string::npos) << run.out;
            const std::string line = run.out.substr(warning, run.out.find('\n', warning) - warning);
            EXPECT_NE(line.find("126"), std::string::npos) << line;
            EXPECT_NE(line.find(c.cut), std::string::npos) << line;
        }
    }
    const CommandRun objects =
        plughost("export " + quoted(path("cut.md3")) + " --only-objects " + std::string(130, 'y'));
    EXPECT_NE(objects.out.find("warning: --only-objects"), std::string::npos) << objects.out;
    EXPECT_NE(objects.out.find("'yyyy'"), std::string::npos) << objects.out;
}

// A GLB's embedded image becomes a shader named where the game finds it, and --write-textures
// puts the image there: below the folder that holds "models", or beside the model without one;
// never over a different file unless --force, and never half.
TEST_F(PlughostCommandLine, WritesEmbeddedImagesWhereTheGameLooks) {
    const std::string scene = std::string(QMP_SCENE_DATA_DIR) + "/blender/rig.glb";
    const std::string image = firstGlbImage(scene);
    ASSERT_EQ(image.substr(1, 3), "PNG");
    std::filesystem::create_directories(path("baseq3/models/mapobjects/rig"));
    const std::string model = path("baseq3/models/mapobjects/rig/rig.md3");
    const std::string texture = path("baseq3/models/mapobjects/rig/ball.png");

    CommandRun run = plughost("export '" + scene + "' '" + model + "'");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("shader models/mapobjects/rig/ball.png"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("--write-textures writes it"), std::string::npos) << run.out;
    EXPECT_FALSE(std::filesystem::exists(texture));

    run = plughost("export '" + scene + "' '" + model + "' --write-textures");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(fileText(texture), image);
    run = plughost("export '" + scene + "' '" + model + "' --write-textures");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("texture already there"), std::string::npos) << run.out;

    // A different file there: refused before anything is written, then replaced when forced.
    std::ofstream(texture, std::ios::binary) << "someone else's picture";
    std::filesystem::remove(model);
    run = plughost("export '" + scene + "' '" + model + "' --write-textures");
    EXPECT_EQ(run.status, 2) << run.out;
    EXPECT_NE(run.out.find("--force replaces it"), std::string::npos) << run.out;
    EXPECT_EQ(fileText(texture), "someone else's picture");
    EXPECT_FALSE(std::filesystem::exists(model));
    run = plughost("export '" + scene + "' '" + model + "' --write-textures --force");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(fileText(texture), image);

    // A folder given for the images, below the same game folder.
    run = plughost("export '" + scene + "' '" + model + "' --write-textures --texture-folder textures/props");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("shader textures/props/ball.png"), std::string::npos) << run.out;
    EXPECT_EQ(fileText(path("baseq3/textures/props/ball.png")), image);

    // No "models" in the output's path: the image goes beside the model, named alone.
    std::filesystem::create_directories(path("loose"));
    run = plughost("export '" + scene + "' '" + path("loose/rig.md3") + "' --write-textures");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("shader ball.png"), std::string::npos) << run.out;
    EXPECT_EQ(fileText(path("loose/ball.png")), image);

    // A folder where the image goes is refused; a place that cannot be made fails the export's
    // textures and leaves no partial file.
    std::filesystem::create_directories(path("baseq3/models/blocked/ball.png"));
    std::filesystem::create_directories(path("baseq3/models/blocked/x"));
    run = plughost("export '" + scene + "' '" + path("baseq3/models/blocked/x/rig.md3") +
                   "' --write-textures --force --texture-folder models/blocked");
    EXPECT_EQ(run.status, 2) << run.out;
    EXPECT_NE(run.out.find("is not a regular file"), std::string::npos) << run.out;
    std::ofstream(path("baseq3/plain")) << "a file where a folder should be";
    run = plughost("export '" + scene + "' '" + model + "' --write-textures --texture-folder plain/props");
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("cannot write"), std::string::npos) << run.out;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path("baseq3"))) {
        EXPECT_EQ(entry.path().filename().string().find(".partial"), std::string::npos) << entry.path();
    }
}

// After an export every surface without a shader is named, with what to do about it.
TEST_F(PlughostCommandLine, NamesEverySurfaceWithoutAShader) {
    const std::string scene = std::string(QMP_SCENE_DATA_DIR) + "/figure.gltf";
    const CommandRun run = plughost("export '" + scene + "' '" + path("figure.md3") + "' --no-warnings");
    ASSERT_EQ(run.status, 0) << run.out;
    for (const char* surface : {"spinner", "blob", "prop"}) {
        EXPECT_NE(run.out.find(std::string("warning: surface ") + surface +
                               " has no shader, so the game draws it untextured; give its node a texture, or name "
                               "its shader in a .skin file\n"),
                  std::string::npos)
            << surface << "\n"
            << run.out;
    }
    EXPECT_EQ(run.out.find("warning: surface body has no shader"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("warning: surface spinner_spinner_mesh-1 has no shader"), std::string::npos) << run.out;
}
