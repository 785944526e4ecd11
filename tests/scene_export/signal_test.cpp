// Signals during an export: SIGINT, SIGTERM, SIGHUP or SIGQUIT sent to plughost while it writes
// a large export leave no temporary file, keep the earlier file at the output, and end plughost
// with the signal, as the default action would.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>

#include "gltf_builder.h"
#include "plughost_process.h"

namespace {

namespace fs = std::filesystem;
using plughosttest::PlughostProcess;
using plughosttest::ProcessEnd;
using plughosttest::runPlughost;

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::set<std::string> namesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// Mesh nodes whose separate triangles morph over 400 frames: an export of about 100 MB that
// takes a while to compute and write.
std::string writeLargeScene(const std::string& path) {
    constexpr int kNodes = 4;
    constexpr int kTriangles = 4000;
    scenetest::GltfBuilder gltf;
    for (int n = 0; n < kNodes; ++n) {
        std::vector<float> positions;
        std::vector<float> target;
        for (int t = 0; t < kTriangles; ++t) {
            const int row = t / 64;  // 64 triangles a row
            const auto x = static_cast<float>(t % 64);
            const auto y = static_cast<float>(row);
            const auto z = static_cast<float>(n);
            positions.insert(positions.end(), {x, y, z, x + 0.5f, y, z, x, y + 0.5f, z});
            target.insert(target.end(), {x, y, z + 1.0f, x + 0.5f, y, z + 2.0f, x, y + 0.5f, z + 3.0f});
        }
        const int mesh = gltf.mesh(positions, {target});
        const int node = gltf.node({{"name", "part_" + std::to_string(n)}, {"mesh", mesh}});
        gltf.channel(node, "weights", {0.0f, 14.0f}, {0.0f, 1.0f});
    }
    return gltf.write(path);
}

// Whether the process has a file open in the folder for the export: an unnamed one ("#inode
// (deleted)"), or a named one beside the output.
bool writesInto(pid_t pid, const std::string& folder, const std::string& outputName) {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        std::error_code linkError;
        const std::string target = fs::read_symlink(entry.path(), linkError).string();
        if (target.rfind(folder + "/#", 0) == 0 || target.rfind(folder + "/." + outputName + ".partial-", 0) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

TEST(ExportSignals, AnInterruptedExportLeavesNoTemporaryFileAndEndsWithTheSignal) {
    char pattern[] = "/tmp/qmp-signals-XXXXXX";
    const std::string folder = mkdtemp(pattern);
    const std::string scene = writeLargeScene(folder + "/scene.gltf");
    const std::string victim = folder + "/victim.md3";
    ASSERT_EQ(runPlughost({"export", victim}).status, 0);
    const std::string earlier = contents(victim);

    for (int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        SCOPED_TRACE(strsignal(number));
        PlughostProcess export_({"export", scene, victim, "--from", "0", "--to", "400"});
        ASSERT_GT(export_.pid(), 0);
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        bool writing = false;
        while (!writing && std::chrono::steady_clock::now() < giveUp) {
            writing = writesInto(export_.pid(), folder, "victim.md3");
            if (!writing) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        ASSERT_TRUE(writing) << "the export never began writing";
        ASSERT_EQ(kill(export_.pid(), number), 0);
        const ProcessEnd end = export_.wait();
        EXPECT_FALSE(end.exited) << end.out;
        EXPECT_EQ(end.signal, number) << end.out;
        EXPECT_EQ(namesIn(folder), (std::set<std::string>{"scene.gltf", "victim.md3"}));
        EXPECT_TRUE(contents(victim) == earlier);
    }
    fs::remove_all(folder);
}
