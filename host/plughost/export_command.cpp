// plughost export: the scene exported through the exporter plug-in, its options dialog worked by
// the terminal desktop as a person would from the command line's flags, then a short summary of
// the written file.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <demo_scene.h>
#include <scene_file.h>
#include <modelformat/model_limits.h>

#include "session.h"

namespace host {

namespace {

const char kExportHelp[] =
    "usage: plughost export [SCENE] OUT.md3 [options]\n"
    "\n"
    "Exports a scene to an MD3 file through the exporter plug-in. SCENE is any file the Open\n"
    "Asset Import Library reads (glTF/GLB, FBX, COLLADA, OBJ, 3DS, ...); without it the embedded\n"
    "demo scene is exported (an animated figure with tag_torso, tag_head and tag_weapon). Nodes\n"
    "whose name starts with tag_ become tags; every other mesh becomes a surface.\n"
    "\n"
    "The dialog options are what a person does in the exporter's options dialog; without\n"
    "--from/--to the range is frame 0 alone, as the dialog opens.\n"
    "\n"
    "dialog options:\n"
    "  --from N              move the first frame slider to N (0 to 400)\n"
    "  --to N                move the second frame slider to N (0 to 400); the ends may come in\n"
    "                        either order\n"
    "  --only-objects TEXT   tick 'Only Objects Whose Name Starts With' and type the comma-\n"
    "                        separated prefixes (blanks are kept, as typed)\n"
    "  --only-tags TEXT      tick 'Only the Following Tags' and type the comma-separated names\n"
    "  --no-relative         untick 'Vertex Positions Relative to tag_torso or tag_head'\n"
    "  --no-smart-paths      untick 'Smart Paths' (write texture and model paths whole)\n"
    "  --keep-bip            untick 'Ignore Objects Whose Name Starts With Bip'\n"
    "  --no-warnings         untick 'Show Warning Dialogs'\n"
    "\n"
    "scene options:\n"
    "  --animation NAME|N    the animation to sample; 'all' plays every animation together\n"
    "                        (default: all when they move different nodes, as one per object,\n"
    "                        else the file's first)\n"
    "  --fps N               frames per second (default: the file's own key rate when it has\n"
    "                        one, else 30); ticks per frame follow it\n"
    "  --scale S             scale every position by S (default 1; 0.01 turns centimetres\n"
    "                        into metres)\n"
    "\n"
    "host options:\n"
    "  --no-prompts          export without the dialog, at the current time's frame\n"
    "  --time TICKS          the scene's current time (4800 ticks a second; default 0)\n"
    "  --select NAME[,NAME]  select these nodes\n"
    "  --selected-only       export the selected nodes only\n"
    "  -h, --help            show this help\n"
    "\n"
    "Warnings appear on standard error; on a terminal a progress line shows what is written.\n"
    "After the export the file is checked against the games' limits (see 'plughost check').\n"
    "Exit status: 0 when the export succeeded, 1 when the scene could not be loaded, nothing in it\n"
    "passed the filters or the export failed, 2 for a usage error or a scene file that cannot be opened.\n"
    "\n"
    "examples:\n"
    "  plughost export demo.md3 --from 0 --to 39\n"
    "  plughost export walker.glb upper.md3 --from 0 --to 30 --only-tags tag_head,tag_weapon\n"
    "  plughost export character.fbx lower.md3 --animation walk --fps 15 --from 0 --to 20\n"
    "  plughost export still.md3 --no-prompts --time 1600\n";

// The options dialog's controls, as a person finds them.
constexpr int kOptionsDialog = 101;
constexpr int kSliderFrom = 1004;
constexpr int kSliderTo = 1005;
constexpr int kExportNow = 1008;
constexpr int kRelativeToTag = 1009;
constexpr int kSmartPaths = 1010;
constexpr int kNamePrefixes = 1011;
constexpr int kUseNamePrefixes = 1012;
constexpr int kUseTagList = 1013;
constexpr int kTagNames = 1014;
constexpr int kIgnoreBip = 1015;
constexpr int kShowWarnings = 1017;
constexpr int kFrameLimit = 400;

struct DialogChoices {
    int from = -1;  // -1: slider left alone
    int to = -1;
    bool useObjects = false;
    std::string objects;
    bool useTags = false;
    std::string tags;
    bool relative = true;
    bool smartPaths = true;
    bool ignoreBip = true;
    bool warnings = true;
};

// Works the options dialog once, then presses "Export Now".
void actInOptionsDialog(HWND dialog, const DialogChoices& choices) {
    if (choices.from >= 0) {
        win32::user::dragTrackbar(dialog, kSliderFrom, choices.from);
    }
    if (choices.to >= 0) {
        win32::user::dragTrackbar(dialog, kSliderTo, choices.to);
    }
    if (choices.useObjects) {
        win32::user::setChecked(dialog, kUseNamePrefixes, true);
        win32::user::typeText(dialog, kNamePrefixes, choices.objects);
    }
    if (choices.useTags) {
        win32::user::setChecked(dialog, kUseTagList, true);
        win32::user::typeText(dialog, kTagNames, choices.tags);
    }
    win32::user::setChecked(dialog, kRelativeToTag, choices.relative);
    win32::user::setChecked(dialog, kSmartPaths, choices.smartPaths);
    win32::user::setChecked(dialog, kIgnoreBip, choices.ignoreBip);
    win32::user::setChecked(dialog, kShowWarnings, choices.warnings);
    win32::user::click(dialog, kExportNow);
}

bool parseFrame(const std::string& text, int& frame) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || end == nullptr || *end != '\0' || value < 0 || value > kFrameLimit) {
        return false;
    }
    frame = static_cast<int>(value);
    return true;
}

bool parseTicks(const std::string& text, TimeValue& ticks) {
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || end == nullptr || *end != '\0' || value < INT32_MIN || value > INT32_MAX) {
        return false;
    }
    ticks = static_cast<TimeValue>(value);
    return true;
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

// A written file mapped read-only, so that reading its headers touches only the pages that hold
// them, however many frames follow. The file is this process's own, just committed; nothing else
// shortens it while it is mapped.
class MappedFile {
public:
    explicit MappedFile(const std::string& path) {
        const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (descriptor < 0) {
            return;
        }
        struct stat info {};
        if (fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode)) {
            size_ = static_cast<size_t>(info.st_size);
            void* mapped = size_ == 0 ? nullptr : mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, descriptor, 0);
            opened_ = size_ == 0 || mapped != MAP_FAILED;
            data_ = opened_ ? static_cast<const uint8_t*>(mapped) : nullptr;
        }
        close(descriptor);
    }
    ~MappedFile() {
        if (data_ != nullptr) {
            munmap(const_cast<uint8_t*>(data_), size_);
        }
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool opened() const { return opened_; }
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    bool opened_ = false;
};

// What was written, from the file's headers: counts, names, shaders and the limits they break.
// Nothing past the headers is decoded, so the summary costs the same for 1 frame as for 1000.
void printSummary(const std::string& path) {
    const MappedFile file(path);
    if (!file.opened()) {
        std::printf("wrote %s, which cannot be opened to read it back\n", path.c_str());
        return;
    }
    const modelformat::Md3ReadResult read =
        modelformat::readMd3(file.data(), file.size(), modelformat::Md3Detail::Headers);
    if (!read.ok) {
        std::printf("wrote %s (%zu bytes), which does not read back: at byte %zu: %s\n", path.c_str(), file.size(),
                    read.offset, read.message.c_str());
        return;
    }
    const modelformat::Md3Model& model = read.model;
    std::printf("wrote %s: %s, %s, %s, %s\n", path.c_str(),
                counted(static_cast<long long>(file.size()), "byte").c_str(),
                counted(model.header.frameCount, "frame").c_str(), counted(model.header.tagCount, "tag").c_str(),
                counted(model.header.surfaceCount, "surface").c_str());
    for (int32_t t = 0; t < model.header.tagCount && model.heldFrameCount() > 0; ++t) {
        std::printf("  tag %s\n", model.tag(0, t).name.c_str());
    }
    for (const modelformat::Md3Surface& surface : model.surfaces) {
        std::printf(
            "  surface %s: %s, %s", surface.header.name.c_str(),
            (std::to_string(surface.header.vertexCount) + (surface.header.vertexCount == 1 ? " vertex" : " vertices"))
                .c_str(),
            counted(surface.header.triangleCount, "triangle").c_str());
        if (!surface.shaders.empty()) {
            std::printf(", shader %s", surface.shaders.front().name.c_str());
        }
        std::printf("\n");
    }
    for (const modelformat::LimitBreach& breach : modelformat::checkMd3Limits(model)) {
        std::fprintf(stderr, "warning: %s: %s\n", breach.where.c_str(), breach.message.c_str());
    }
}

std::vector<std::string> splitNames(const std::string& text) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = text.find(',', start);
        const std::string name = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!name.empty()) {
            names.push_back(name);
        }
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return names;
}

}  // namespace

int runExport(const CommonOptions& common, const std::vector<std::string>& args) {
    std::string output = "demo.md3";
    DialogChoices choices;
    bool noPrompts = false;
    TimeValue time = 0;
    std::string selection;
    bool selectedOnly = false;
    std::vector<std::string> positionals;
    SceneLoadOptions sceneOptions;

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string value;
        if (arg == "-h" || arg == "--help") {
            std::fputs(kExportHelp, stdout);
            return kExitOk;
        } else if (arg == "--from" || arg == "--to") {
            if (!takeValue(args, i, value, "export")) {
                return kExitUsage;
            }
            if (!parseFrame(value, arg == "--from" ? choices.from : choices.to)) {
                std::fprintf(stderr, "plughost export: %s wants a frame from 0 to %d, not '%s'\n", arg.c_str(),
                             kFrameLimit, value.c_str());
                return kExitUsage;
            }
        } else if (arg == "--only-objects") {
            if (!takeValue(args, i, choices.objects, "export")) {
                return kExitUsage;
            }
            choices.useObjects = true;
        } else if (arg == "--only-tags") {
            if (!takeValue(args, i, choices.tags, "export")) {
                return kExitUsage;
            }
            choices.useTags = true;
        } else if (arg == "--no-relative") {
            choices.relative = false;
        } else if (arg == "--no-smart-paths") {
            choices.smartPaths = false;
        } else if (arg == "--keep-bip") {
            choices.ignoreBip = false;
        } else if (arg == "--no-warnings") {
            choices.warnings = false;
        } else if (arg == "--no-prompts") {
            noPrompts = true;
        } else if (arg == "--time") {
            if (!takeValue(args, i, value, "export")) {
                return kExitUsage;
            }
            if (!parseTicks(value, time)) {
                std::fprintf(stderr, "plughost export: --time wants a whole number of ticks, not '%s'\n",
                             value.c_str());
                return kExitUsage;
            }
        } else if (arg == "--select") {
            if (!takeValue(args, i, selection, "export")) {
                return kExitUsage;
            }
        } else if (arg == "--selected-only") {
            selectedOnly = true;
        } else if (arg == "--animation") {
            if (!takeValue(args, i, value, "export")) {
                return kExitUsage;
            }
            char* end = nullptr;
            const long index = std::strtol(value.c_str(), &end, 10);
            if (value == "all") {
                sceneOptions.allAnimations = true;
            } else if (!value.empty() && end != nullptr && *end == '\0' && index >= 0) {
                sceneOptions.animationIndex = static_cast<int>(index);
            } else {
                sceneOptions.animationName = value;
            }
        } else if (arg == "--fps") {
            if (!takeValue(args, i, value, "export")) {
                return kExitUsage;
            }
            char* end = nullptr;
            const long fps = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || end == nullptr || *end != '\0' || fps < 1 || fps > TIME_TICKSPERSEC) {
                std::fprintf(stderr, "plughost export: --fps wants frames per second from 1 to %d, not '%s'\n",
                             TIME_TICKSPERSEC, value.c_str());
                return kExitUsage;
            }
            sceneOptions.frameRate = static_cast<int>(fps);
        } else if (arg == "--scale") {
            if (!takeValue(args, i, value, "export")) {
                return kExitUsage;
            }
            char* end = nullptr;
            const float scale = std::strtof(value.c_str(), &end);
            if (value.empty() || end == nullptr || *end != '\0' || !(scale > 0.0f) || !std::isfinite(scale)) {
                std::fprintf(stderr, "plughost export: --scale wants a number above 0, not '%s'\n", value.c_str());
                return kExitUsage;
            }
            sceneOptions.scale = scale;
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "plughost export: unknown option '%s' (try 'plughost export --help')\n", arg.c_str());
            return kExitUsage;
        } else {
            positionals.push_back(arg);
        }
    }
    std::string scenePath;
    if (positionals.size() > 2) {
        std::fprintf(stderr, "plughost export: give at most a scene file and an output file ('%s' is one too many)\n",
                     positionals[2].c_str());
        return kExitUsage;
    }
    if (positionals.size() == 2) {
        scenePath = positionals[0];
    }
    if (!positionals.empty()) {
        output = positionals.back();
    }
    if (!scenePath.empty()) {
        if (std::FILE* probe = std::fopen(scenePath.c_str(), "rb")) {
            std::fclose(probe);
        } else {
            std::fprintf(stderr, "plughost export: cannot open the scene file '%s'\n", scenePath.c_str());
            return kExitUsage;
        }
    } else if (sceneOptions.frameRate != 0 || sceneOptions.scale != 1.0f || sceneOptions.animationIndex >= 0 ||
               !sceneOptions.animationName.empty() || sceneOptions.allAnimations) {
        std::fputs("plughost export: --animation, --fps and --scale apply to a scene file; none was given\n", stderr);
        return kExitUsage;
    }

    Session session(common);
    session.reportLoadErrors("export");
    std::unique_ptr<ExportPluginInterface> exporter(session.plugins().createExporter("MD3"));
    if (exporter == nullptr) {
        std::fprintf(stderr, "plughost export: no loaded plug-in exports MD3 files\n");
        return kExitFailed;
    }

    Scene scene;
    if (scenePath.empty()) {
        SetFrameRate(kDemoFrameRate);
        buildDemoScene(scene);
    } else {
        const SceneLoadResult loaded = loadSceneFile(scenePath, sceneOptions, scene);
        if (!loaded.ok) {
            std::fprintf(stderr, "plughost export: cannot load the scene '%s': %s\n", scenePath.c_str(),
                         loaded.error.c_str());
            return kExitFailed;
        }
        for (const std::string& warning : loaded.warnings) {
            std::fprintf(stderr, "warning: %s: %s\n", scenePath.c_str(), warning.c_str());
        }
        for (const std::string& note : loaded.notes) {
            std::fprintf(stderr, "note: %s: %s\n", scenePath.c_str(), note.c_str());
        }
        if (!loaded.animationsPlayed.empty() && choices.from < 0 && choices.to < 0 && !noPrompts) {
            std::fprintf(stderr,
                         "note: the animation covers frames 0 to %d at %d fps; without --from/--to only frame 0 "
                         "is exported\n",
                         loaded.lengthFrames, loaded.frameRate);
        }
    }
    for (const std::string& name : splitNames(selection)) {
        SceneNode* node = scene.findNode(name);
        if (node == nullptr) {
            std::fprintf(stderr, "plughost export: --select names '%s', which the scene does not have\n", name.c_str());
            return kExitUsage;
        }
        node->setSelected(true);
    }
    HostInterface hostInterface;
    hostInterface.SetTime(time);

    bool dialogWorked = false;
    session.desktop().setIgnoredDialog(kOptionsDialog);
    session.desktop().setPerson([&](HWND dialog) {
        if (dialogWorked || win32::dialogResourceId(dialog) != kOptionsDialog) {
            return false;
        }
        dialogWorked = true;
        actInOptionsDialog(dialog, choices);
        return true;
    });

    const FileIdentity before = identify(output);
    const int result = exporter->DoExport(output.c_str(), scene.exportContext(), &hostInterface,
                                          noPrompts ? TRUE : FALSE, selectedOnly ? SCENE_EXPORT_SELECTED : 0);
    exporter.reset();
    if (result == 0) {
        std::fprintf(stderr, "plughost export: the export of '%s' failed; nothing was written\n", output.c_str());
        return kExitFailed;
    }
    if (identify(output) == before) {
        // The exporter answers success when no node passes its filters, as the host expects; a
        // script asking for a file gets none, so for it the work failed.
        std::fprintf(stderr, "plughost export: nothing in the scene passes the filters; no file was written\n");
        return kExitFailed;
    }
    printSummary(output);
    return kExitOk;
}

}  // namespace host
