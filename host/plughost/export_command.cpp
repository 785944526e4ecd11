// plughost export: the scene written to an MD3 file with the options a person would set in
// the exporter's options dialog, then a short summary of the file.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <demo_scene.h>
#include <export_options.h>
#include <md3_file_writer.h>
#include <modelformat/md3_reader.h>
#include <plugin_module.h>

#include "commands.h"
#include "terminal_desktop.h"

namespace host {

namespace {

const char kExportHelp[] =
    "usage: plughost export [OUT.md3] [options]\n"
    "\n"
    "Exports the demo scene (an animated figure with tag_torso, tag_head and tag_weapon) to an\n"
    "MD3 file (default: demo.md3). The options are what a person sets in the exporter's options\n"
    "dialog; without --from/--to the range is frame 0 alone, as the dialog opens.\n"
    "\n"
    "options:\n"
    "  --from N              first end of the frame range (0 to 400)\n"
    "  --to N                second end of the frame range (0 to 400); the ends may come in any order\n"
    "  --only-objects TEXT   export only objects whose name starts with one of the comma-separated\n"
    "                        prefixes, typed as in the dialog (blanks are kept)\n"
    "  --only-tags TEXT      export only the comma-separated tags named\n"
    "  --no-relative         tags and vertices as they are in the scene, not relative to\n"
    "                        'tag_torso' or 'tag_head'\n"
    "  --no-smart-paths      write paths whole instead of from their 'models' folder on\n"
    "  --keep-bip            also export objects whose name starts with 'Bip'\n"
    "  --no-warnings         show no warnings about the surfaces\n"
    "  -h, --help            show this help\n"
    "\n"
    "examples:\n"
    "  plughost export demo.md3 --from 0 --to 39\n"
    "  plughost export upper.md3 --from 0 --to 39 --only-objects torso,head --only-tags tag_head,tag_weapon\n";

constexpr int kFrameLimit = 400;

bool parseFrame(const std::string& text, int& frame) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || end == nullptr || *end != '\0' || value < 0 || value > kFrameLimit) {
        return false;
    }
    frame = static_cast<int>(value);
    return true;
}

// The comma-separated entries as the dialog splits them: non-empty runs, blanks kept, at most
// the 126 characters an edit gives.
void splitList(const std::string& typed, std::list<std::string>& list) {
    const std::string text = typed.substr(0, 126);
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = text.find(',', start);
        const std::string token = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!token.empty()) {
            list.push_back(token);
        }
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
}

// Which file stands at a path: a finished export puts a new file there.
struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity& other) const {
        return exists == other.exists && device == other.device && inode == other.inode;
    }
};

FileIdentity identify(const std::string& path) {
    FileIdentity identity;
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) {
        identity.exists = true;
        identity.device = info.st_dev;
        identity.inode = info.st_ino;
    }
    return identity;
}

void printSummary(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const modelformat::Md3ReadResult read = modelformat::readMd3(bytes);
    if (!read.ok) {
        std::printf("wrote %s (%zu bytes), which does not read back: %s\n", path.c_str(), bytes.size(),
                    read.message.c_str());
        return;
    }
    const modelformat::Md3Model& model = read.model;
    std::printf("wrote %s: %zu bytes, %d frames, %d tags, %d surfaces\n", path.c_str(), bytes.size(),
                model.header.frameCount, model.header.tagCount, model.header.surfaceCount);
    for (int32_t t = 0; t < model.header.tagCount && model.header.frameCount > 0; ++t) {
        std::printf("  tag %s\n", model.tag(0, t).name.c_str());
    }
    for (const modelformat::Md3Surface& surface : model.surfaces) {
        std::printf("  surface %s: %d vertices, %d triangles%s%s\n", surface.header.name.c_str(),
                    surface.header.vertexCount, surface.header.triangleCount, surface.shaders.empty() ? "" : ", shader ",
                    surface.shaders.empty() ? "" : surface.shaders.front().name.c_str());
    }
}

}  // namespace

int runExport(const std::vector<std::string>& args) {
    std::string output = "demo.md3";
    bool outputGiven = false;
    int from = 0;
    int to = 0;
    std::string onlyObjects;
    std::string onlyTags;
    bool useObjects = false;
    bool useTags = false;
    bool relative = true;
    bool smartPaths = true;
    bool ignoreBip = true;
    bool warnings = true;

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "plughost export: %s needs a value\n", arg.c_str());
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string text;
        if (arg == "-h" || arg == "--help") {
            std::fputs(kExportHelp, stdout);
            return kExitOk;
        } else if (arg == "--from" || arg == "--to") {
            if (!value(text)) {
                return kExitUsage;
            }
            if (!parseFrame(text, arg == "--from" ? from : to)) {
                std::fprintf(stderr, "plughost export: %s wants a frame from 0 to %d, not '%s'\n", arg.c_str(),
                             kFrameLimit, text.c_str());
                return kExitUsage;
            }
        } else if (arg == "--only-objects") {
            if (!value(onlyObjects)) {
                return kExitUsage;
            }
            useObjects = true;
        } else if (arg == "--only-tags") {
            if (!value(onlyTags)) {
                return kExitUsage;
            }
            useTags = true;
        } else if (arg == "--no-relative") {
            relative = false;
        } else if (arg == "--no-smart-paths") {
            smartPaths = false;
        } else if (arg == "--keep-bip") {
            ignoreBip = false;
        } else if (arg == "--no-warnings") {
            warnings = false;
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "plughost export: unknown option '%s' (try 'plughost export --help')\n", arg.c_str());
            return kExitUsage;
        } else if (!outputGiven) {
            output = arg;
            outputGiven = true;
        } else {
            std::fprintf(stderr, "plughost export: more than one output file given ('%s')\n", arg.c_str());
            return kExitUsage;
        }
    }

    TerminalDesktop desktop;
    win32::setDesktop(&desktop);
    DllMain(GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH, nullptr);

    SetFrameRate(kDemoFrameRate);
    Scene scene;
    buildDemoScene(scene);
    HostInterface hostInterface;

    // What the dialog's close does with the person's settings.
    exportOptions.ticksPerFrame = GetTicksPerFrame();
    exportOptions.startFrame = from < to ? from : to;
    exportOptions.endFrame = from < to ? to : from;
    exportOptions.relativeToTag = relative;
    exportOptions.smartPaths = smartPaths;
    exportOptions.ignoreBip = ignoreBip;
    exportOptions.useNamePrefixes = useObjects;
    exportOptions.useTagList = useTags;
    exportOptions.showWarnings = warnings;
    if (useObjects) {
        splitList(onlyObjects, exportOptions.namePrefixes);
    }
    if (useTags) {
        splitList(onlyTags, exportOptions.tagNames);
    }

    const FileIdentity before = identify(output);
    Md3FileWriter writer;
    const int result = writer.writeFile(output.c_str(), scene.exportContext(), &hostInterface, FALSE, 0);
    win32::setDesktop(nullptr);
    if (result == 0) {
        std::fprintf(stderr, "plughost export: could not write '%s'\n", output.c_str());
        return kExitFailed;
    }
    if (identify(output) == before) {
        std::printf("nothing to export: no file written\n");
        return kExitOk;
    }
    printSummary(output);
    return kExitOk;
}

}  // namespace host
