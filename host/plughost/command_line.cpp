// The plughost command line read through CLI11: one parser per command filling that command's
// request, numbers read in one place with their bounds, and help generated from the options in
// plughost's own layout (the synopsis, the explanation, the options by group, then notes and
// examples).
#include "command_line.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <sstream>
#include <system_error>
#include <utility>

#include <CLI/CLI.hpp>

namespace host {

bool parseWholeNumber(const std::string& text, long long min, long long max, long long& value) {
    long long parsed = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    const std::from_chars_result read = std::from_chars(first, last, parsed, 10);
    if (text.empty() || read.ec != std::errc() || read.ptr != last || parsed < min || parsed > max) {
        return false;
    }
    value = parsed;
    return true;
}

bool parseRealNumber(const std::string& text, double& value) {
    double parsed = 0.0;
    const char* first = text.data();
    const char* last = first + text.size();
    const std::from_chars_result read = std::from_chars(first, last, parsed, std::chars_format::general);
    if (text.empty() || read.ec != std::errc() || read.ptr != last || !std::isfinite(parsed)) {
        return false;
    }
    value = parsed;
    return true;
}

bool parseTextureFolder(const std::string& text, std::string& folder) {
    std::string parsed = text;
    for (char& c : parsed) {
        c = c == '\\' ? '/' : c;
    }
    while (!parsed.empty() && parsed.back() == '/') {
        parsed.pop_back();
    }
    const bool drive = parsed.size() >= 2 && parsed[1] == ':';
    if (parsed.empty() || parsed.front() == '/' || drive || parsed.size() > kTextureFolderLimit) {
        return false;
    }
    for (size_t start = 0; start <= parsed.size();) {
        const size_t slash = std::min(parsed.find('/', start), parsed.size());
        const std::string part = parsed.substr(start, slash - start);
        if (part.empty() || part == "." || part == "..") {
            return false;
        }
        start = slash + 1;
    }
    for (const char c : parsed) {
        if (static_cast<unsigned char>(c) < 0x20) {
            return false;
        }
    }
    folder = parsed;
    return true;
}

namespace {

const char kOptionsGroup[] = "options";
// A command's file arguments: shown in its synopsis and explained in its description.
const char kFilesGroup[] = "files";
const char kDialogGroup[] = "dialog options";
const char kSceneGroup[] = "scene options";
const char kHostGroup[] = "host options";
const char kModelGroup[] = "model options";

// Help in plughost's layout: "usage: NAME SYNOPSIS", the explanation, the options by group (a
// command's file arguments are explained in the text), then the footer's notes and examples.
class HelpFormatter : public CLI::Formatter {
public:
    // sections: printed between the explanation and the options (the list of commands).
    explicit HelpFormatter(std::string sections = "") : sections_(std::move(sections)) { column_width(24); }

    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode /*mode*/) const override {
        std::string help = "usage: " + name + " " + synopsis(app) + "\n";
        if (!app->get_description().empty()) {
            help += "\n" + app->get_description() + "\n";
        }
        help += sections_;
        for (const std::string& group : app->get_groups()) {
            const std::vector<const CLI::Option*> options = app->get_options([&group](const CLI::Option* option) {
                return option->get_group() == group && option->nonpositional();
            });
            if (group.empty() || options.empty()) {
                continue;
            }
            help += "\n" + group + ":\n";
            for (const CLI::Option* option : options) {
                help += make_option(option, false);
            }
        }
        if (!app->get_footer().empty()) {
            help += "\n" + app->get_footer() + "\n";
        }
        return help;
    }

    // The arguments after a command's name: its file arguments, then "[options]". A program whose
    // command follows its own options (the prefix-command form) lists those options first.
    std::string synopsis(const CLI::App* app) const {
        std::string text;
        const auto append = [&text](const std::string& part) { text += (text.empty() ? "" : " ") + part; };
        if (app->get_prefix_command()) {
            for (const CLI::Option* option : app->get_options()) {
                if (option != app->get_help_ptr() && option->nonpositional()) {
                    append("[" + option->get_name(false, true) + " " + option->get_type_name() + "]");
                }
            }
            append("<command> [options]");
            return text;
        }
        for (const CLI::Option* option : app->get_options()) {
            if (option->get_positional()) {
                append(make_option_usage(option));
            }
        }
        append("[options]");
        return text;
    }

    std::string make_option_name(const CLI::Option* option, bool positional) const override {
        std::string name = CLI::Formatter::make_option_name(option, positional);
        // "-h,--help" as people write it.
        for (size_t comma = name.find(','); comma != std::string::npos; comma = name.find(',', comma + 2)) {
            name.insert(comma + 1, " ");
        }
        return name;
    }

private:
    std::string sections_;
};

// A command's parser: plughost's help layout; a repeated option takes its last value, as a
// later flag overrides an earlier one in a script.
std::unique_ptr<CLI::App> commandApp(const std::string& name, const std::string& description, const std::string& footer,
                                     const std::string& sections = "") {
    auto app = std::make_unique<CLI::App>(description, name);
    app->formatter(std::make_shared<HelpFormatter>(sections));
    app->footer(footer);
    app->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)->group(kOptionsGroup);
    // Added again after the other options, so that help lists it last.
    app->set_help_flag();
    return app;
}

void addHelpFlag(CLI::App& app, const char* group = kOptionsGroup) {
    app.set_help_flag("-h,--help", "show this help")->group(group);
}

// An option whose value is a whole number from min to max; what names the value in the error.
CLI::Option* addWholeNumber(CLI::App& app, const std::string& name, const std::string& what, long long min,
                            long long max, std::function<void(long long)> store, const std::string& description) {
    const auto read = [name, what, min, max, store = std::move(store)](const std::string& text) {
        long long value = 0;
        if (!parseWholeNumber(text, min, max, value)) {
            throw CLI::ValidationError(name + " wants " + what + " from " + std::to_string(min) + " to " +
                                       std::to_string(max) + ", not '" + text + "'");
        }
        store(value);
    };
    return app.add_option_function<std::string>(name, read, description)->type_name("N");
}

bool given(const CLI::App& app, const std::string& name) { return app.count(name) > 0; }

// The names of the options of a group that were given, as "--a, --b and --c".
std::string givenInGroup(const CLI::App& app, const std::string& group, size_t* count = nullptr) {
    std::vector<std::string> names;
    for (const CLI::Option* option : app.get_options()) {
        if (option->get_group() == group && option->count() > 0) {
            names.push_back(option->get_name(false, true));
        }
    }
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) {
        text += (i == 0 ? "" : (i + 1 == names.size() ? " and " : ", ")) + names[i];
    }
    if (count != nullptr) {
        *count = names.size();
    }
    return text;
}

// Runs a command's parser. Help goes to standard output; a usage error becomes one line on
// standard error. finish completes the request after a successful parse and answers a usage
// error's text, or "" when the request stands.
template <typename Request>
ParsedArgs<Request> runParser(CLI::App& app, const std::vector<std::string>& args, Request& request,
                              const std::function<std::string()>& finish) {
    ParsedArgs<Request> parsed;
    std::string error;
    bool pointToHelp = true;
    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes the last argument first
        app.parse(reversed);
        error = finish();
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        parsed.status = kExitOk;
        return parsed;
    } catch (const CLI::ExtrasError&) {
        std::string extra;
        for (const std::string& argument : app.remaining()) {
            if (argument != "--") {
                extra = argument;
                break;
            }
        }
        const auto* formatter = dynamic_cast<const HelpFormatter*>(app.get_formatter().get());
        if (extra.size() > 1 && extra[0] == '-') {
            error = "unknown option '" + extra + "'";
        } else if (formatter != nullptr) {
            error = "'" + extra + "' is one argument too many (usage: " + app.get_name() + " " +
                    formatter->synopsis(&app) + ")";
            pointToHelp = false;
        } else {
            error = "'" + extra + "' is one argument too many";
        }
    } catch (const CLI::ArgumentMismatch& failure) {
        // An option at the end of the line without its value ("NAME: 1 required TYPE missing").
        const std::string what = failure.what();
        error = what.substr(0, what.find(':')) + " needs a value";
    } catch (const CLI::ParseError& failure) {
        error = failure.what();
    }
    if (!error.empty()) {
        std::fprintf(stderr, "%s: %s", app.get_name().c_str(), error.c_str());
        if (pointToHelp) {
            std::fprintf(stderr, " (try '%s --help')", app.get_name().c_str());
        }
        std::fputc('\n', stderr);
        parsed.status = kExitUsage;
        return parsed;
    }
    parsed.request = std::move(request);
    return parsed;
}

// --- export ------------------------------------------------------------------------------------

std::string exportDescription() {
    return "Exports a scene to an MD3 file through the exporter plug-in. SCENE is any file the Open\n"
           "Asset Import Library reads (glTF/GLB, FBX, COLLADA, OBJ, 3DS, ...); without it the embedded\n"
           "demo scene is exported (an animated figure with tag_torso, tag_head and tag_weapon). Nodes\n"
           "whose name starts with tag_ become tags; every other mesh becomes a surface. Without OUT.md3\n"
           "the file is demo.md3 in the current folder.\n"
           "\n"
           "The dialog options are what a person does in the exporter's options dialog; without\n"
           "--from/--to the range is frame 0 alone, as the dialog opens. An --only-objects or --only-tags\n"
           "list longer than the dialog's field (" +
           std::to_string(kDialogListTextLimit) +
           " characters) is cut there, with a warning.\n"
           "--no-prompts exports without the dialog, so it refuses the dialog options.";
}

const char kExportFooter[] =
    "Warnings appear on standard error; on a terminal a progress line shows what is written.\n"
    "After the export the file is checked against the games' limits (see 'plughost check').\n"
    "An output that is the scene file itself is refused, and so is an output whose name does not\n"
    "end in .md3 when a file that is not an MD3 is there (a forgotten OUT.md3 would overwrite the\n"
    "scene). '--' ends the options: the arguments after it are file names.\n"
    "Images the scene file embeds become shaders FOLDER/NAME.EXT; --write-textures writes them\n"
    "(never over a different file without --force). Surfaces without a shader are named after the\n"
    "export.\n"
    "--fit-limits and --lod arrange the scene before the exporter sees it: both work on the first\n"
    "exported frame's triangles and apply them to every frame. Without --fit-limits a file over\n"
    "the limits is written with a warning; --strict then makes the status 1.\n"
    "--player DIR takes the lower, upper and head parts from mesh nodes named l_*, u_*, h_* or\n"
    "from the nodes under group nodes named lower, upper, head, and writes lower.md3 (model space,\n"
    "with tag_torso), upper.md3 (relative to tag_torso, with tag_torso, tag_head, tag_weapon and\n"
    "the other tags under the upper part), head.md3 (relative to tag_head, with tag_head),\n"
    "animation.cfg from the animations named after the game's (BOTH_DEATH1 .. LEGS_TURN, any case)\n"
    "laid one after another, and lower_default.skin, upper_default.skin, head_default.skin.\n"
    "Exit status: 0 when the export succeeded, 1 when the scene could not be loaded, nothing in it\n"
    "passed the filters, the export or a texture failed, or with --strict a file breaks a limit,\n"
    "2 for a usage error, a refused output or texture, or a scene file that cannot be opened.\n"
    "\n"
    "examples:\n"
    "  plughost export demo.md3 --from 0 --to 39\n"
    "  plughost export walker.glb upper.md3 --from 0 --to 30 --only-tags tag_head,tag_weapon\n"
    "  plughost export character.fbx lower.md3 --animation walk --fps 15 --from 0 --to 20\n"
    "  plughost export ball.glb baseq3/models/mapobjects/ball/ball.md3 --write-textures\n"
    "  plughost export forklift.glb forklift.md3 --fit-limits --lod 2 --strict\n"
    "  plughost export hero.glb --player baseq3/models/players/hero --fps 20\n"
    "  plughost export still.md3 --no-prompts --time 1600";

std::unique_ptr<CLI::App> exportApp(ExportRequest& request) {
    auto app = commandApp("plughost export", exportDescription(), kExportFooter);
    app->add_option("SCENE", request.scenePath, "the scene file")->group(kFilesGroup);
    app->add_option("OUT.md3", request.outputPath, "the MD3 file to write")->group(kFilesGroup);

    DialogChoices& dialog = request.dialog;
    const std::string frames = " (0 to " + std::to_string(kDialogFrameLimit) + ")";
    addWholeNumber(
        *app, "--from", "a frame", 0, kDialogFrameLimit,
        [&dialog](long long frame) { dialog.from = static_cast<int>(frame); },
        "move the first frame slider to N" + frames)
        ->group(kDialogGroup);
    addWholeNumber(
        *app, "--to", "a frame", 0, kDialogFrameLimit,
        [&dialog](long long frame) { dialog.to = static_cast<int>(frame); },
        "move the second frame slider to N" + frames + "; the ends may come in\neither order")
        ->group(kDialogGroup);
    app->add_option_function<std::string>(
           "--only-objects",
           [&dialog](const std::string& text) {
               dialog.useObjects = true;
               dialog.objects = text;
           },
           "tick 'Only Objects Whose Name Starts With' and type the comma-\nseparated prefixes (blanks are kept, "
           "as typed)")
        ->type_name("TEXT")
        ->group(kDialogGroup);
    app->add_option_function<std::string>(
           "--only-tags",
           [&dialog](const std::string& text) {
               dialog.useTags = true;
               dialog.tags = text;
           },
           "tick 'Only the Following Tags' and type the comma-separated names")
        ->type_name("TEXT")
        ->group(kDialogGroup);
    app->add_flag_callback(
           "--no-relative", [&dialog] { dialog.relative = false; },
           "untick 'Vertex Positions Relative to tag_torso or tag_head'")
        ->group(kDialogGroup);
    app->add_flag_callback(
           "--no-smart-paths", [&dialog] { dialog.smartPaths = false; },
           "untick 'Smart Paths' (write texture and model paths whole)")
        ->group(kDialogGroup);
    app->add_flag_callback(
           "--keep-bip", [&dialog] { dialog.ignoreBip = false; }, "untick 'Ignore Objects Whose Name Starts With Bip'")
        ->group(kDialogGroup);
    app->add_flag_callback(
           "--no-warnings", [&dialog] { dialog.warnings = false; }, "untick 'Show Warning Dialogs'")
        ->group(kDialogGroup);

    SceneLoadOptions& scene = request.sceneOptions;
    app->add_option_function<std::string>(
           "--animation",
           [&scene](const std::string& text) {
               const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
               long long index = 0;
               if (text == "all") {
                   scene.allAnimations = true;
               } else if (!digits) {
                   scene.animationName = text;
               } else if (parseWholeNumber(text, 0, INT_MAX, index)) {
                   scene.animationIndex = static_cast<int>(index);
               } else {
                   throw CLI::ValidationError("--animation wants a name, 'all' or an animation number from 0 to " +
                                              std::to_string(INT_MAX) + ", not '" + text + "'");
               }
           },
           "the animation to sample, by name or number; 'all' plays every\nanimation together (default: all when "
           "they move different nodes,\nas one per object; of a Blender FBX's takes, one per object and\naction, "
           "each object's own; else the file's first); of a Blender\nFBX, an action's name plays its takes")
        ->type_name("NAME|N")
        ->group(kSceneGroup);
    addWholeNumber(
        *app, "--fps", "frames per second", 1, TIME_TICKSPERSEC,
        [&scene](long long fps) { scene.frameRate = static_cast<int>(fps); },
        "frames per second (default: the file's own key rate when it has\none, else 30); ticks per frame follow it")
        ->group(kSceneGroup);
    app->add_option_function<std::string>(
           "--scale",
           [&scene](const std::string& text) {
               double scale = 0.0;
               if (!parseRealNumber(text, scale) || !(scale > 0.0) || !std::isfinite(static_cast<float>(scale))) {
                   throw CLI::ValidationError("--scale wants a number above 0 (within a float's range), not '" + text +
                                              "'");
               }
               scene.scale = static_cast<float>(scale);
           },
           "scale every position by S (default 1), the file's unit turned into\nmetres first; metres want about "
           "40 to reach the game's units")
        ->type_name("S")
        ->group(kSceneGroup);
    app->add_option_function<std::string>(
           "--texture-folder",
           [&request](const std::string& text) {
               std::string folder;
               if (!parseTextureFolder(text, folder)) {
                   throw CLI::ValidationError(
                       "--texture-folder wants a relative folder such as models/players/x (no '..', at most " +
                       std::to_string(kTextureFolderLimit) + " characters), not '" + text + "'");
               }
               request.textureFolder = folder;
           },
           "name the images embedded in the scene FOLDER/NAME.EXT (default: the\noutput's folder from 'models' on, "
           "when its path holds one)")
        ->type_name("FOLDER")
        ->group(kSceneGroup);
    app->add_flag("--write-textures", request.writeTextures,
                  "write the embedded images where the game looks for them: below\nthe folder that holds 'models', "
                  "else beside OUT.md3")
        ->group(kSceneGroup);
    app->add_flag("--force", request.force, "let --write-textures replace files that hold other images")
        ->group(kSceneGroup);
    app->add_flag_callback(
           "--allow-outside-files", [&scene] { scene.allowOutsideFiles = true; },
           "read files the scene refers to (glTF buffers, an OBJ's materials)\nfrom anywhere; by default only its "
           "own folder and below are read")
        ->group(kSceneGroup);

    app->add_flag("--fit-limits", request.fitLimits,
                  "cut every surface of 1000 or more vertices or more than 1999\ntriangles into parts the game "
                  "takes (BODY, BODY_1, ...: one skin\nentry BODY serves them all)")
        ->group(kModelGroup);
    addWholeNumber(
        *app, "--lod", "a number of levels", 1, kMaxDetailLevels,
        [&request](long long levels) { request.detailLevels = static_cast<int>(levels); },
        "also write levels of detail OUT_1.md3 .. OUT_N.md3, each with about\nhalf the triangles of the one "
        "before (the game reads _1 and _2)")
        ->group(kModelGroup);
    app->add_flag("--strict", request.strict,
                  "exit with status 1 when a written file breaks the game's limits\n(the file is written all the "
                  "same)")
        ->group(kModelGroup);
    app->add_option_function<std::string>(
           "--player",
           [&request](const std::string& folder) {
               if (folder.empty()) {
                   throw CLI::ValidationError("--player wants a folder, not ''");
               }
               request.playerFolder = folder;
           },
           "write a player folder instead of OUT.md3: lower.md3, upper.md3,\nhead.md3, animation.cfg and the "
           "_default skins (see below)")
        ->type_name("DIR")
        ->group(kModelGroup);

    app->add_flag("--no-prompts", request.noPrompts, "export without the dialog, at the current time's frame")
        ->group(kHostGroup);
    addWholeNumber(
        *app, "--time", "a time in ticks", INT32_MIN, INT32_MAX,
        [&request](long long ticks) { request.time = static_cast<TimeValue>(ticks); },
        "the scene's current time, which --no-prompts exports (4800 ticks\na second; default 0)")
        ->type_name("TICKS")
        ->group(kHostGroup);
    app->add_option("--select", request.selection, "select these nodes")->type_name("NAME[,NAME]")->group(kHostGroup);
    app->add_flag("--selected-only", request.selectedOnly, "export the selected nodes only")->group(kHostGroup);
    addHelpFlag(*app, kHostGroup);
    return app;
}

// The part of a name list the dialog's edit field does not keep, or "".
std::string cutOffPart(const std::string& list) {
    return list.size() > kDialogListTextLimit ? list.substr(kDialogListTextLimit) : std::string();
}

}  // namespace

ParsedArgs<ExportRequest> parseExportArgs(const std::vector<std::string>& args) {
    ExportRequest request;
    std::unique_ptr<CLI::App> app = exportApp(request);
    return runParser(*app, args, request, [&]() -> std::string {
        if ((given(*app, "SCENE") && request.scenePath.empty()) ||
            (given(*app, "OUT.md3") && request.outputPath.empty())) {
            return "a file's name is empty";
        }
        if (request.playerFolder && given(*app, "OUT.md3")) {
            return "--player writes its folder's files; give SCENE alone, without OUT.md3";
        }
        if (request.playerFolder) {
            // The player's options dialog is worked by the host for each part.
            for (const char* flag : {"--only-objects", "--only-tags", "--no-relative"}) {
                if (given(*app, flag)) {
                    return std::string("--player chooses each part's nodes and reference tag itself, so ") + flag +
                           " cannot be given with it";
                }
            }
        }
        // One file named is the output (with --player, the scene).
        if (given(*app, "SCENE") && !given(*app, "OUT.md3") && !request.playerFolder) {
            request.outputPath = request.scenePath;
            request.scenePath.clear();
        }
        size_t sceneOptionCount = 0;
        const std::string sceneOptions = givenInGroup(*app, kSceneGroup, &sceneOptionCount);
        if (request.scenePath.empty() && sceneOptionCount > 0) {
            return sceneOptions + (sceneOptionCount == 1 ? " applies" : " apply") + " to a scene file; none was given";
        }
        if (request.noPrompts && (request.fitLimits || request.detailLevels > 0 || request.playerFolder)) {
            return "--no-prompts exports one frame without the dialog; --fit-limits, --lod and --player work "
                   "the dialog, so leave out one or the other";
        }
        if (request.force && !request.writeTextures) {
            return "--force only lets --write-textures replace files; give both, or neither";
        }
        // Without the dialog nothing would move its sliders or tick its boxes: the export would
        // quietly differ from what was asked.
        const std::string dialogOptions = givenInGroup(*app, kDialogGroup);
        if (request.noPrompts && !dialogOptions.empty()) {
            return "--no-prompts exports without the options dialog, so " + dialogOptions +
                   " would be ignored; leave out one or the other";
        }
        const std::pair<const char*, const std::string*> lists[] = {{"--only-objects", &request.dialog.objects},
                                                                    {"--only-tags", &request.dialog.tags}};
        for (const auto& [flag, list] : lists) {
            const std::string cut = cutOffPart(*list);
            if (!cut.empty()) {
                request.warnings.push_back(std::string(flag) + " is longer than the " +
                                           std::to_string(kDialogListTextLimit) +
                                           " characters the dialog's field keeps; cut off: '" + cut + "'");
            }
        }
        return "";
    });
}

// --- import, check, plugins --------------------------------------------------------------------

namespace {

const char kImportDescription[] =
    "Imports an MD3 (Quake III) or MD2 (Quake II) file through the importer plug-in into an empty\n"
    "scene and lists every node it created: name, vertex, face and texture-vertex counts, transform\n"
    "and world-space bounding box. The format is told by the file's first four bytes, whatever\n"
    "its name. With OUT the imported scene is saved to it through the Open Asset Import Library,\n"
    "in the format its name asks for (.gltf, .glb, .obj, .dae, .fbx, ...): nodes named, tag\n"
    "markers included, texture coordinates kept. The importer makes the first frame of an MD3 and\n"
    "one frame of an MD2 (its second), without shaders, its normals built from the faces.\n"
    "\n"
    "--all-frames reads the whole model instead, for editing and exporting back: every frame of\n"
    "every surface and tag, the file's own normals, each surface's shader as its texture, names\n"
    "exactly as in the file. Saved as .glb or .gltf, each surface's frames are morph targets played\n"
    "by an animation with one frame every 1/30 second (--fps N to change it) and the tags are nodes\n"
    "keyed in every frame; an MD2's frames whose names share a stem (run1 .. run6) are also named\n"
    "animations. Other formats keep the first frame only.";

const char kImportFooter[] =
    "OUT may not be FILE itself, nor anything but a regular file (a folder, a pipe, a device).\n"
    "'--' ends the options: the arguments after it are file names.\n"
    "Exit status: 0 when the import (and the save) succeeded, 1 when the importer (or with\n"
    "--all-frames the host) refused the file (the nodes the importer had already made are still\n"
    "listed) or OUT could not be written, 2 for a usage error or a file that cannot be opened (a\n"
    "folder included).\n"
    "\n"
    "examples:\n"
    "  plughost import upper.md3\n"
    "  plughost import tris.md2 --json\n"
    "  plughost import upper.md3 upper.gltf\n"
    "  plughost import upper.md3 upper.glb --all-frames\n"
    "  plughost import tris.md2 tris.gltf --all-frames --fps 10";

const char kCheckDescription[] =
    "Reads an MD3 (Quake III) or MD2 (Quake II) file and reports its structure and every place\n"
    "where it breaks the format or the games' limits: Quake III refuses a surface of 1000 or more\n"
    "vertices or more than 1999 triangles; more than 1024 frames, 32 surfaces or 16 tags, or\n"
    "names of 64 characters or more, are beyond what the format's tools accept.\n"
    "\n"
    "Verdicts: 'breaks the format' (the file does not read; the byte is named), 'over a limit',\n"
    "'the game cannot use it' (values the game cannot use, such as numbers that are not finite)\n"
    "each make it fail; a 'warning' (a surface without a shader, drawn untextured unless a .skin\n"
    "names one) does not.\n"
    "\n"
    "Given a folder DIR, checks it as a Quake III player: lower.md3, upper.md3 and head.md3 there\n"
    "(and their levels of detail NAME_1.md3, NAME_2.md3 when present), each judged as a file; the\n"
    "tags the game joins them by (lower: tag_torso; upper: tag_head and tag_weapon); animation.cfg\n"
    "read, each row's frames inside the parts' frame counts (BOTH_* rows in lower and upper,\n"
    "TORSO_* in upper, LEGS_* in lower less the legs offset, the first LEGS_ row's first frame less\n"
    "TORSO_GESTURE's) and no more looping frames than frames; every lower_*.skin, upper_*.skin and\n"
    "head_*.skin naming only surfaces its part holds (each surface's name read as the game reads\n"
    "it: lower-case, a final '_' and one character dropped) and plausible textures (relative,\n"
    "forward slashes, an image extension, at most 63 characters). One line per problem, each\n"
    "making the folder fail. Warnings, which do not: upper.md3 holding a\n"
    "tag_torso, or head.md3 a tag_head, that is not the identity in every frame (the part is not\n"
    "expressed relative to it), and a missing *_default.skin.";

const char kCheckFooter[] =
    "'--' ends the options: the argument after it is the file's name.\n"
    "Exit status: 0 when the file or folder passes, 1 when it breaks the format or a limit or has\n"
    "a problem listed, 2 for a usage error or a file that cannot be read.\n"
    "\n"
    "examples:\n"
    "  plughost check upper.md3\n"
    "  plughost check tris.md2 --json\n"
    "  plughost check models/players/sarge";

const char kPluginsDescription[] =
    "Lists each plug-in module found in the plug-in folder: its description, class name, category,\n"
    "class and superclass identifiers, file extensions, long and short descriptions, author and\n"
    "version. Modules that cannot be loaded are reported on standard error.";

const char kPluginsFooter[] =
    "Exit status: 0 when a module loaded, 1 when none did, 2 for a usage error.\n"
    "\n"
    "examples:\n"
    "  plughost plugins\n"
    "  plughost --plugins build/bin plugins --json";

std::unique_ptr<CLI::App> importApp(ImportRequest& request) {
    auto app = commandApp("plughost import", kImportDescription, kImportFooter);
    app->add_option("FILE", request.input, "the MD3 or MD2 file")->required()->group(kFilesGroup);
    app->add_option("OUT", request.output, "the scene file to save")->group(kFilesGroup);
    app->add_flag("--json", request.json, "print one JSON object {\"nodes\": [...]} instead");
    app->add_flag("--all-frames", request.allFrames,
                  "read every frame, the tags' keys, normals, shaders and names, not\nthe importer's one frame");
    addWholeNumber(
        *app, "--fps", "frames per second", 1, TIME_TICKSPERSEC,
        [&request](long long fps) { request.framesPerSecond = static_cast<int>(fps); },
        "with --all-frames: frames per second of the saved animation\n(default " + std::to_string(kDefaultFrameRate) +
            "; export it back with the same --fps)");
    addHelpFlag(*app);
    return app;
}

std::unique_ptr<CLI::App> checkApp(CheckRequest& request) {
    auto app = commandApp("plughost check", kCheckDescription, kCheckFooter);
    app->add_option("FILE", request.input, "the MD3 or MD2 file, or a player folder (DIR)")
        ->required()
        ->group(kFilesGroup);
    app->add_flag("--json", request.json, "print one JSON object instead");
    addHelpFlag(*app);
    return app;
}

std::unique_ptr<CLI::App> pluginsApp(PluginsRequest& request) {
    auto app = commandApp("plughost plugins", kPluginsDescription, kPluginsFooter);
    app->add_flag("--json", request.json, "print a JSON array with one object per module");
    addHelpFlag(*app);
    return app;
}

}  // namespace

ParsedArgs<ImportRequest> parseImportArgs(const std::vector<std::string>& args) {
    ImportRequest request;
    std::unique_ptr<CLI::App> app = importApp(request);
    return runParser(*app, args, request, [&]() -> std::string {
        if (request.input.empty()) {
            return "the input file's name is empty";
        }
        if (given(*app, "OUT") && request.output.empty()) {
            return "the output file's name is empty";
        }
        if (given(*app, "--fps") && !request.allFrames) {
            return "--fps sets the frame rate of --all-frames; the importer makes one frame";
        }
        return "";
    });
}

ParsedArgs<CheckRequest> parseCheckArgs(const std::vector<std::string>& args) {
    CheckRequest request;
    std::unique_ptr<CLI::App> app = checkApp(request);
    return runParser(*app, args, request,
                     [&]() -> std::string { return request.input.empty() ? "the file's name is empty" : ""; });
}

ParsedArgs<PluginsRequest> parsePluginsArgs(const std::vector<std::string>& args) {
    PluginsRequest request;
    std::unique_ptr<CLI::App> app = pluginsApp(request);
    return runParser(*app, args, request, [] { return std::string(); });
}

// --- the program -------------------------------------------------------------------------------

namespace {

struct Command {
    const char* name;
    const char* summary;
    // The command's file arguments, from its own parser.
    std::function<std::string()> synopsis;
    std::function<ParsedArgs<CommandRequest>(const std::vector<std::string>&)> parse;
};

template <typename Request>
std::string synopsisOf(std::unique_ptr<CLI::App> (*build)(Request&)) {
    Request scratch;
    const std::unique_ptr<CLI::App> app = build(scratch);
    std::string text = HelpFormatter().synopsis(app.get());
    const std::string options = " [options]";
    if (text.size() >= options.size() && text.compare(text.size() - options.size(), options.size(), options) == 0) {
        text.erase(text.size() - options.size());
    }
    return text == "[options]" ? "" : text;
}

template <typename Request>
ParsedArgs<CommandRequest> widen(ParsedArgs<Request> parsed) {
    ParsedArgs<CommandRequest> command;
    command.status = parsed.status;
    if (parsed.request) {
        command.request = CommandRequest(std::move(*parsed.request));
    }
    return command;
}

const std::vector<Command>& commands() {
    static const std::vector<Command> list = {
        {"export", "export a scene file, or the embedded demo scene, to MD3", [] { return synopsisOf(exportApp); },
         [](const auto& args) { return widen(parseExportArgs(args)); }},
        {"import", "import an MD3 or MD2 file, and save it as a scene file", [] { return synopsisOf(importApp); },
         [](const auto& args) { return widen(parseImportArgs(args)); }},
        {"check", "report what an MD3 or MD2 file, or a player folder, breaks", [] { return synopsisOf(checkApp); },
         [](const auto& args) { return widen(parseCheckArgs(args)); }},
        {"plugins", "list the loaded plug-in modules", [] { return synopsisOf(pluginsApp); },
         [](const auto& args) { return widen(parsePluginsArgs(args)); }},
    };
    return list;
}

std::string commandList() {
    std::ostringstream list;
    list << "\ncommands:\n";
    for (const Command& command : commands()) {
        const std::string synopsis = command.synopsis();
        CLI::detail::format_help(list, std::string(command.name) + (synopsis.empty() ? "" : " " + synopsis),
                                 command.summary, 28);
    }
    return list.str();
}

const char kProgramDescription[] =
    "The stand-in host on the command line: it loads the plug-in modules as the host would, and\n"
    "exports scenes to MD3, imports MD3 and MD2 files, checks them and lists the modules.";

const char kProgramFooter[] =
    "Each command has --help. The plug-in modules are loaded from DIR, else from the folder\n"
    "named by PLUGHOST_PLUGINS, else from plughost's own folder. Exit status: 0 success, 1 the\n"
    "work failed, 2 a usage error or an input file that cannot be opened.\n"
    "\n"
    "examples:\n"
    "  plughost export demo.md3 --from 0 --to 39\n"
    "  plughost export walker.glb walker.md3 --from 0 --to 30\n"
    "  plughost import models/players/sarge/upper.md3\n"
    "  plughost check demo.md3\n"
    "  plughost plugins --json";

}  // namespace

ParsedArgs<CommandLine> parseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    auto app = commandApp("plughost", kProgramDescription, kProgramFooter, commandList());
    // The first argument that is not plughost's own option names the command; it and everything
    // after it are the command's.
    app->prefix_command();
    app->add_option("--plugins", line.common.pluginFolder, "load the plug-in modules from DIR")->type_name("DIR");
    addHelpFlag(*app);

    ParsedArgs<CommandLine> parsed;
    std::vector<std::string> rest;
    const ParsedArgs<CommonOptions> common = runParser(*app, args, line.common, [&]() -> std::string {
        rest = app->remaining();
        if (!rest.empty() && rest.front() == "--") {
            rest.erase(rest.begin());
        }
        return "";
    });
    if (!common.request) {
        parsed.status = common.status;
        return parsed;
    }
    line.common = *common.request;
    if (rest.empty()) {
        std::fputs(app->help().c_str(), stderr);
        parsed.status = kExitUsage;
        return parsed;
    }
    const std::string name = rest.front();
    rest.erase(rest.begin());
    if (name == "help") {
        std::fputs(app->help().c_str(), stdout);
        parsed.status = kExitOk;
        return parsed;
    }
    for (const Command& command : commands()) {
        if (name == command.name) {
            ParsedArgs<CommandRequest> request = command.parse(rest);
            parsed.status = request.status;
            if (request.request) {
                line.command = std::move(*request.request);
                parsed.request = std::move(line);
            }
            return parsed;
        }
    }
    if (name.size() > 1 && name[0] == '-') {
        std::fprintf(stderr, "plughost: unknown option '%s' (try 'plughost --help')\n", name.c_str());
    } else {
        std::fprintf(stderr, "plughost: unknown command '%s' (try 'plughost --help')\n", name.c_str());
    }
    parsed.status = kExitUsage;
    return parsed;
}

}  // namespace host
