// plughost as a script sees it: exit statuses, one-line errors, and files that pass the check.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

struct CommandRun {
    int status = -1;
    std::string out;  // standard output and standard error together
};

CommandRun plughost(const std::string& arguments) {
    CommandRun run;
    const std::string command = std::string(QMP_PLUGHOST) + " " + arguments + " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[4096];
    size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.out.append(buffer, read);
    }
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
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
