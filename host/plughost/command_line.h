// The plughost command line: the common options and each command's arguments read into one
// request per command (through CLI11), with the help every command prints.
#ifndef HOST_PLUGHOST_COMMAND_LINE_H
#define HOST_PLUGHOST_COMMAND_LINE_H

#include <cstddef>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <maxtypes.h>
#include <scene_file.h>

namespace host {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// A shader name holds at most 63 characters; a texture folder leaves room in it for a '/' and
// a short file name ("a.png").
constexpr size_t kTextureFolderLimit = 57;

// Levels of detail --lod writes at most (the game itself reads _1 and _2).
constexpr int kMaxDetailLevels = 9;

// The options dialog's frame sliders run from 0 to this frame.
constexpr int kDialogFrameLimit = 400;
// The dialog reads at most this many characters of a name list from its edit field.
constexpr size_t kDialogListTextLimit = 126;

struct CommonOptions {
    std::string pluginFolder;  // empty: PluginCatalogue::defaultFolder()
};

// What a person does in the exporter's options dialog.
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

struct ExportRequest {
    std::string scenePath;  // empty: the embedded demo scene
    std::string outputPath = "demo.md3";
    DialogChoices dialog;
    bool noPrompts = false;
    TimeValue time = 0;
    std::string selection;  // comma-separated node names
    bool selectedOnly = false;
    SceneLoadOptions sceneOptions;
    // The folder embedded images are named in, as given (unset: from the output's path).
    std::optional<std::string> textureFolder;
    // Write the embedded images where the game looks for them; replace files that differ.
    bool writeTextures = false;
    bool force = false;
    // The host's arrangements of the scene before the exporter sees it: surfaces that break the
    // game's limits cut into parts that fit; levels of detail OUT_1.md3 .. OUT_N.md3.
    bool fitLimits = false;
    int detailLevels = 0;
    // Exit 1 when a written file breaks the game's limits (the file is kept).
    bool strict = false;
    // A player folder (lower.md3, upper.md3, head.md3, animation.cfg, skins) instead of OUT.md3.
    std::optional<std::string> playerFolder;
    // Said on standard error before the export: what of the request the dialog will not take
    // as it was given.
    std::vector<std::string> warnings;
};

struct ImportRequest {
    std::string input;
    std::string output;  // empty: the scene is not saved
    bool json = false;
    // Every frame, read by the host itself, instead of what the importer plug-in makes.
    bool allFrames = false;
    int framesPerSecond = kDefaultFrameRate;  // with allFrames: frame k is keyed at k / rate
};

struct CheckRequest {
    std::string input;
    bool json = false;
};

struct PluginsRequest {
    bool json = false;
};

// A command line read: the request when there is work to do, else the status plughost ends
// with (0 after printing help, 2 after a usage error, whose one line is already on standard
// error).
template <typename Request>
struct ParsedArgs {
    std::optional<Request> request;
    int status = kExitOk;
};

// Each command's arguments, the command's name not included.
ParsedArgs<ExportRequest> parseExportArgs(const std::vector<std::string>& args);
ParsedArgs<ImportRequest> parseImportArgs(const std::vector<std::string>& args);
ParsedArgs<CheckRequest> parseCheckArgs(const std::vector<std::string>& args);
ParsedArgs<PluginsRequest> parsePluginsArgs(const std::vector<std::string>& args);

using CommandRequest = std::variant<ExportRequest, ImportRequest, CheckRequest, PluginsRequest>;

struct CommandLine {
    CommonOptions common;
    CommandRequest command;
};

// The whole command line without the program's name: the common options, the command, and the
// command's own arguments.
ParsedArgs<CommandLine> parseCommandLine(const std::vector<std::string>& args);

// The one reader of numbers on the command line. A whole number is written in decimal digits,
// with a leading '-' when negative; a real number is finite, in decimal or exponent notation.
// Both fail on anything else in the text, blanks included.
bool parseWholeNumber(const std::string& text, long long min, long long max, long long& value);
bool parseRealNumber(const std::string& text, double& value);
// A texture folder as shader names hold it: relative, parts between '/' (a '\\' counts as one),
// none of them empty, "." or "..", at most kTextureFolderLimit characters; a trailing '/' is
// dropped. False for anything else.
bool parseTextureFolder(const std::string& text, std::string& folder);

}  // namespace host

#endif
