// plughost export: the scene exported through the exporter plug-in, its options dialog worked by
// the terminal desktop as a person would from the command line's flags, then a short summary of
// the written file.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <brindlark/export_errors.h>
#include <brindlark/resource_ids.h>
#include <demo_scene.h>
#include <scene_file.h>
#include <modelformat/model_limits.h>

#include "export_steps.h"
#include "scene_view.h"
#include "arrangement.h"
#include "session.h"
#include "texture_files.h"

namespace host {

namespace {

// Where the name's ".md3" extension (in any case) begins, or npos when it has none.
size_t md3ExtensionAt(const std::string& path) {
    const size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.' || path.size() - dot != 4) {
        return std::string::npos;
    }
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return extension == "md3" ? dot : std::string::npos;
}

// The output names no MD3 file by its extension, yet a file is there that does not start as
// one: most likely the scene file itself, given as the only file (a forgotten OUT.md3).
bool wouldOverwriteAnotherKind(const std::string& output) {
    if (md3ExtensionAt(output) != std::string::npos) {
        return false;
    }
    struct stat info {};
    if (stat(output.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;  // nothing there, or what the export refuses to replace anyway
    }
    char magic[4] = {};
    std::FILE* file = std::fopen(output.c_str(), "rb");
    if (file == nullptr) {
        return false;  // the export says why it cannot write
    }
    const size_t read = std::fread(magic, 1, sizeof magic, file);
    std::fclose(file);
    return read != sizeof magic || std::memcmp(magic, "IDP3", sizeof magic) != 0;
}

// Works the options dialog once, then presses "Export Now".
void actInOptionsDialog(HWND dialog, const DialogChoices& choices) {
    if (choices.from >= 0) {
        win32::user::dragTrackbar(dialog, IDC_SLIDER_FROM, choices.from);
    }
    if (choices.to >= 0) {
        win32::user::dragTrackbar(dialog, IDC_SLIDER_TO, choices.to);
    }
    if (choices.useObjects) {
        win32::user::setChecked(dialog, IDC_USE_NAME_PREFIXES, true);
        win32::user::typeText(dialog, IDC_NAME_PREFIXES, choices.objects);
    }
    if (choices.useTags) {
        win32::user::setChecked(dialog, IDC_USE_TAG_LIST, true);
        win32::user::typeText(dialog, IDC_TAG_NAMES, choices.tags);
    }
    win32::user::setChecked(dialog, IDC_RELATIVE_TO_TAG, choices.relative);
    win32::user::setChecked(dialog, IDC_SMART_PATHS, choices.smartPaths);
    win32::user::setChecked(dialog, IDC_IGNORE_BIP, choices.ignoreBip);
    win32::user::setChecked(dialog, IDC_SHOW_WARNINGS, choices.warnings);
    win32::user::click(dialog, IDC_EXPORT_NOW);
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
// Answers what of the game's limits the file breaks.
LimitsBroken printSummary(const std::string& path) {
    LimitsBroken broken;
    const MappedFile file(path);
    if (!file.opened()) {
        std::printf("wrote %s, which cannot be opened to read it back\n", path.c_str());
        return broken;
    }
    const modelformat::Md3ReadResult read =
        modelformat::readMd3(file.data(), file.size(), modelformat::Md3Detail::Headers);
    if (!read.ok) {
        std::printf("wrote %s (%zu bytes), which does not read back: at byte %zu: %s\n", path.c_str(), file.size(),
                    read.offset, read.message.c_str());
        return broken;
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
    std::fflush(stdout);  // the warnings follow the summary they speak of
    for (const modelformat::Md3Surface& surface : model.surfaces) {
        if (surface.shaders.empty()) {
            std::fprintf(stderr,
                         "warning: surface %s has no shader, so the game draws it untextured; give its node a "
                         "texture, or name its shader in a .skin file\n",
                         surface.header.name.c_str());
        }
    }
    for (const modelformat::LimitBreach& breach : modelformat::checkMd3Limits(model)) {
        std::fprintf(stderr, "warning: %s: %s\n", breach.where.c_str(), breach.message.c_str());
        broken.any = true;
    }
    for (const modelformat::Md3Surface& surface : model.surfaces) {
        broken.surfaceSize = broken.surfaceSize || surface.header.vertexCount > modelformat::kMd3MaxSurfaceVertices ||
                             surface.header.triangleCount > modelformat::kMd3MaxSurfaceTriangles;
    }
    return broken;
}

// Why the exporter wrote no file, from the error code it left and from what the path shows: the
// code alone does not tell a folder that takes no new file from one whose file may not be
// replaced safely, and an exporter may leave none.
std::string whyNotWritten(const std::string& output, DWORD code) {
    modelformat::OutputError error = brindlark::exportErrorOf(code);
    if (code == ERROR_SUCCESS || error == modelformat::OutputError::PermissionDenied ||
        error == modelformat::OutputError::Other) {
        const modelformat::OutputError found = modelformat::diagnoseTarget(output);
        if (found != modelformat::OutputError::None) {
            error = found;
        }
    }
    if (error == modelformat::OutputError::None) {
        return "the exporter gave no reason";
    }
    return modelformat::describeOutputError(error);
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

// Every MD3 file the request writes.
std::vector<std::string> modelOutputs(const ExportRequest& request) {
    std::vector<std::string> models;
    if (!request.playerFolder) {
        models.push_back(request.outputPath);
    } else {
        for (const std::string& part : playerPartNames()) {
            models.push_back(*request.playerFolder + "/" + part + ".md3");
        }
    }
    const size_t wanted = models.size();
    for (int level = 1; level <= request.detailLevels; ++level) {
        for (size_t m = 0; m < wanted; ++m) {
            models.push_back(detailLevelPath(models[m], level));
        }
    }
    return models;
}

int writeTextures(const std::vector<TextureFile>& textureFiles, const ExportRequest& request);

}  // namespace

std::string detailLevelPath(const std::string& output, int level) {
    const std::string suffix = "_" + std::to_string(level);
    const size_t dot = md3ExtensionAt(output);
    if (dot != std::string::npos) {
        return output.substr(0, dot) + suffix + output.substr(dot);
    }
    return output + suffix;
}

int runExport(const CommonOptions& common, const ExportRequest& request) {
    const std::string& scenePath = request.scenePath;
    const std::string& output = request.outputPath;
    const DialogChoices& choices = request.dialog;
    if (!scenePath.empty() && !inputOpens("export", "the scene file ", scenePath)) {
        return kExitUsage;
    }
    for (const std::string& model : modelOutputs(request)) {
        if (!scenePath.empty() && sameFile(scenePath, model)) {
            std::fprintf(stderr, "plughost export: the output '%s' is the scene file itself; give another OUT.md3\n",
                         model.c_str());
            return kExitUsage;
        }
        if (wouldOverwriteAnotherKind(model)) {
            std::fprintf(stderr,
                         "plughost export: '%s' is not an MD3 file and would be overwritten; name the output too "
                         "(plughost export SCENE OUT.md3)\n",
                         model.c_str());
            return kExitUsage;
        }
    }
    for (const std::string& warning : request.warnings) {
        std::fprintf(stderr, "warning: %s\n", warning.c_str());
    }

    Session session(common);
    session.reportLoadErrors("export");
    std::unique_ptr<ExportPluginInterface> exporter(session.plugins().createExporter("MD3"));
    if (exporter == nullptr) {
        std::fprintf(stderr, "plughost export: no loaded plug-in exports MD3 files\n");
        return kExitFailed;
    }
    exporter.reset();  // each export below makes its own

    Scene scene;
    const TextureFolders textureFolders = textureFoldersOf(modelOutputs(request).front());
    std::vector<TextureFile> textureFiles;
    SceneLoadResult loaded;
    SceneLoadOptions sceneOptions = request.sceneOptions;
    sceneOptions.embeddedTextureFolder = request.textureFolder.value_or(textureFolders.modelsFolder);
    if (scenePath.empty()) {
        SetFrameRate(kDemoFrameRate);
        buildDemoScene(scene);
    } else {
        loaded = loadSceneFile(scenePath, sceneOptions, scene);
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
        if (!loaded.animationsPlayed.empty() && choices.from < 0 && choices.to < 0 && !request.noPrompts &&
            !request.playerFolder) {
            std::fprintf(stderr,
                         "note: the animation covers frames 0 to %d at %d fps; without --from/--to only frame 0 "
                         "is exported\n",
                         loaded.lengthFrames, loaded.frameRate);
        }
        std::string refused;
        if (request.writeTextures &&
            !planTextureFiles(loaded.embeddedImages, textureFolders, request.force, textureFiles, refused)) {
            std::fprintf(stderr, "plughost export: %s; nothing was written\n", refused.c_str());
            return kExitUsage;
        }
        if (!request.writeTextures) {
            for (const EmbeddedImage& image : loaded.embeddedImages) {
                std::fprintf(stderr, "note: %s: an embedded image is the shader %s; --write-textures writes it\n",
                             scenePath.c_str(), image.bitmapName.c_str());
            }
        }
    }
    for (const std::string& name : splitNames(request.selection)) {
        SceneNode* node = scene.findNode(name);
        if (node == nullptr) {
            std::fprintf(stderr, "plughost export: --select names '%s', which the scene does not have\n", name.c_str());
            return kExitUsage;
        }
        node->setSelected(true);
    }
    const int firstFrame = std::min(std::max(choices.from, 0), std::max(choices.to, 0));
    const TimeValue firstTime = request.noPrompts ? request.time : firstFrame * GetTicksPerFrame();
    if (request.playerFolder) {
        const int status = runPlayerExport(session, scene, scenePath, sceneOptions, loaded, firstTime, request);
        return status != kExitOk ? status : writeTextures(textureFiles, request);
    }

    LimitsBroken broken;
    // The file asked for, then its levels of detail; each from the scene as loaded.
    for (int level = 0; level <= request.detailLevels; ++level) {
        const std::string path = level == 0 ? output : detailLevelPath(output, level);
        ExportOutcome outcome;
        if (level == 0 && !request.fitLimits) {
            outcome = exportThroughDialog(session, scene, path, choices, request);
        } else {
            arrange::SceneView view({&scene}, [](TimeValue time) { return arrange::SourceTime{0, time}; });
            arrange::SurfaceArrangement how;
            how.detailLevel = level;
            how.fitLimits = request.fitLimits;
            for (const std::string& message : arrange::arrangeSurfaces(view, firstTime, how)) {
                std::fprintf(stderr, "note: %s%s\n",
                             level == 0 ? "" : ("level " + std::to_string(level) + ": ").c_str(), message.c_str());
            }
            outcome = exportThroughDialog(session, view.scene(), path, choices, request);
        }
        if (outcome.status != kExitOk) {
            return outcome.status;
        }
        broken.add(outcome.broken);
    }
    if (broken.surfaceSize && !request.fitLimits) {
        std::fprintf(stderr, "note: --fit-limits cuts surfaces into parts the game takes\n");
    }
    const int status = writeTextures(textureFiles, request);
    if (status == kExitOk && broken.any && request.strict) {
        std::fprintf(stderr, "plughost export: --strict: the export breaks the game's limits (the file is written)\n");
        return kExitFailed;
    }
    return status;
}

ExportOutcome exportThroughDialog(Session& session, Scene& scene, const std::string& output,
                                  const DialogChoices& choices, const ExportRequest& request) {
    ExportOutcome outcome;
    std::unique_ptr<ExportPluginInterface> exporter(session.plugins().createExporter("MD3"));
    if (exporter == nullptr) {
        std::fprintf(stderr, "plughost export: no loaded plug-in exports MD3 files\n");
        outcome.status = kExitFailed;
        return outcome;
    }
    HostInterface hostInterface;
    hostInterface.SetTime(request.time);

    bool dialogWorked = false;
    session.desktop().setIgnoredDialog(IDD_OPTIONS);
    session.desktop().setPerson([&](HWND dialog) {
        if (dialogWorked || win32::dialogResourceId(dialog) != IDD_OPTIONS) {
            return false;
        }
        dialogWorked = true;
        actInOptionsDialog(dialog, choices);
        return true;
    });

    const FileIdentity before = identify(output);
    SetLastError(ERROR_SUCCESS);
    const int result =
        exporter->DoExport(output.c_str(), scene.exportContext(), &hostInterface, request.noPrompts ? TRUE : FALSE,
                           request.selectedOnly ? SCENE_EXPORT_SELECTED : 0);
    const DWORD exportError = GetLastError();
    exporter.reset();
    if (result == 0) {
        std::fprintf(stderr, "plughost export: the export of '%s' failed: %s; nothing was written\n", output.c_str(),
                     whyNotWritten(output, exportError).c_str());
        outcome.status = kExitFailed;
        return outcome;
    }
    if (identify(output) == before) {
        // The exporter answers success when no node passes its filters, as the host expects; a
        // script asking for a file gets none, so for it the work failed.
        std::fprintf(stderr, "plughost export: nothing in the scene passes the filters; no file was written\n");
        outcome.status = kExitFailed;
        return outcome;
    }
    outcome.broken = printSummary(output);
    return outcome;
}

namespace {

int writeTextures(const std::vector<TextureFile>& textureFiles, const ExportRequest& request) {
    if (!request.writeTextures) {
        return kExitOk;
    }
    std::string failure;
    if (!writeTextureFiles(textureFiles, request.force, failure)) {
        std::fprintf(stderr, "plughost export: %s; the model was written, its textures not all\n", failure.c_str());
        return kExitFailed;
    }
    for (const TextureFile& file : textureFiles) {
        std::printf("%s %s\n", file.alreadyThere ? "texture already there:" : "wrote texture", file.path.c_str());
    }
    return kExitOk;
}

}  // namespace

}  // namespace host
