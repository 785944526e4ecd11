// Test support for the loaded plug-in modules: the catalogue loaded from the build's folder, a
// recording desktop whose person follows a script, and scenes and files to work on.
#ifndef TESTS_PLUGINS_PLUGIN_HARNESS_H
#define TESTS_PLUGINS_PLUGIN_HARNESS_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <modelformat/md3_reader.h>
#include <plugin_loader.h>
#include <recording_desktop.h>
#include <scene.h>

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const host::PluginModule& module(const std::string& fileName) const;
    std::unique_ptr<ExportPluginInterface> exporter() const;
    std::unique_ptr<ImportPluginInterface> importer() const;

    // Exports the scene through the exporter plug-in; the file read back when one was written.
    int exportScene(host::Scene& scene, BOOL suppressPrompts = FALSE, DWORD options = 0);
    std::string path(const std::string& name) const { return directory_ + "/" + name; }
    std::string outputPath() const { return path("model.md3"); }

    win32::RecordingDesktop desktop;
    host::PluginCatalogue catalogue;
    host::HostInterface hostInterface;
    modelformat::Md3ReadResult written;

private:
    std::string directory_;
};

// A scene whose tag_marker moves one unit along x per frame, with a textured box.
void buildCountingScene(host::Scene& scene);
std::vector<uint8_t> fileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

#endif
