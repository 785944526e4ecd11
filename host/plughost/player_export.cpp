// plughost export --player DIR: a Quake III player folder from one scene. The host sorts the
// scene's nodes into the lower, upper and head parts, lays the animations named after the game's
// one after another on each part's timeline, and drives the exporter plug-in once per part (and
// level of detail) through its options dialog; then it writes animation.cfg and the skins from
// what the files hold.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <system_error>

#include <animation_config.h>
#include <arrangement.h>
#include <modelformat/md3_reader.h>
#include <modelformat/output_stream.h>
#include <scene_view.h>
#include <skin_file.h>
#include <surface_split.h>

#include "export_steps.h"

namespace host {

namespace {

using player::Animation;

enum Part { kLower, kUpper, kHead, kPartCount, kNoPart = kPartCount };

const char* const kPartNames[kPartCount] = {"lower", "upper", "head"};
const char* const kPartPrefixes[kPartCount] = {"l_", "u_", "h_"};

// The exporter's dialog moves its frame sliders from 0 to this frame.
constexpr int kLastDialogFrame = kDialogFrameLimit;

std::string lowerCase(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

bool isTag(const std::string& name) { return name.compare(0, 4, "tag_") == 0; }

// The part a node belongs to: by its own name or its nearest ancestor's, a group named lower,
// upper or head, or a name starting l_, u_ or h_ (any case).
Part partOf(const SceneNode* node) {
    for (const SceneNode* n = node; n != nullptr; n = n->parent()) {
        const std::string name = lowerCase(n->name());
        for (int part = 0; part < kPartCount; ++part) {
            if (name == kPartNames[part] || name.compare(0, 2, kPartPrefixes[part]) == 0) {
                return static_cast<Part>(part);
            }
        }
    }
    return kNoPart;
}

bool hasGeometry(const SceneNode* node) {
    const Object* object = node->object();
    return object != nullptr && const_cast<Object*>(object)->CanConvertToType(triObjectClassID) != 0;
}

// Frames of one source laid on a part's timeline.
struct Segment {
    size_t source = 0;    // the scene it comes from
    int first = 0;        // its first frame on the timeline
    int count = 0;        // how many frames
    int rate = 0;         // its frames per second
    TimeValue start = 0;  // the source's time of its first frame
};

// A part's timeline: frame f plays the segment that holds it.
struct Timeline {
    std::vector<Segment> segments;
    int frames() const { return segments.empty() ? 0 : segments.back().first + segments.back().count; }
    void add(size_t source, int count, int rate, TimeValue start = 0) {
        segments.push_back({source, frames(), count, rate, start});
    }
    arrange::TimeMap map() const {
        const int ticksPerFrame = GetTicksPerFrame();
        return [segments = segments, ticksPerFrame](TimeValue time) {
            const int frame = time >= 0 ? time / ticksPerFrame : 0;
            const TimeValue within = time >= 0 ? time - frame * ticksPerFrame : 0;
            for (const Segment& segment : segments) {
                if (frame < segment.first + segment.count || &segment == &segments.back()) {
                    const TimeValue sourceTicks = TIME_TICKSPERSEC / segment.rate;
                    return arrange::SourceTime{segment.source, segment.start + (frame - segment.first) * sourceTicks +
                                                                   within * sourceTicks / ticksPerFrame};
                }
            }
            return arrange::SourceTime{0, time};
        };
    }
};

// A clip of the scene file: one of its animations, named after one of the game's.
struct Clip {
    size_t source = 0;  // its load among the sources
    int frames = 0;
    int rate = 0;
};

// Where an animation plays in its part's file, before legs rows are numbered after torso rows.
struct Placement {
    int first = 0;
    int count = 1;
    int rate = 0;
};

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A 64 x 64 grey picture as an uncompressed 24-bit TGA file.
std::vector<uint8_t> placeholderIcon() {
    constexpr uint8_t kSide = 64;
    std::vector<uint8_t> bytes = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, kSide, 0, kSide, 0, 24, 0};
    bytes.resize(bytes.size() + size_t{kSide} * kSide * 3, 0x80);
    return bytes;
}

// The skin of a written part: one line per surface name the game looks up (parts cut to the
// limits share their surface's), then the tags.
bool skinOf(const std::string& path, std::vector<player::SkinEntry>& entries) {
    const std::vector<uint8_t> bytes = fileBytes(path);
    const modelformat::Md3ReadResult read =
        modelformat::readMd3(bytes.data(), bytes.size(), modelformat::Md3Detail::Headers);
    if (!read.ok) {
        return false;
    }
    std::set<std::string> looked;
    for (const modelformat::Md3Surface& surface : read.model.surfaces) {
        if (looked.insert(arrange::skinLookupName(surface.header.name)).second) {
            entries.push_back({surface.header.name, surface.shaders.empty() ? "" : surface.shaders.front().name});
        }
    }
    for (int32_t t = 0; t < read.model.header.tagCount && read.model.heldFrameCount() > 0; ++t) {
        entries.push_back({read.model.tag(0, t).name, ""});
    }
    return true;
}

}  // namespace

const std::vector<std::string>& playerPartNames() {
    static const std::vector<std::string> names(std::begin(kPartNames), std::end(kPartNames));
    return names;
}

int runPlayerExport(Session& session, Scene& scene, const std::string& scenePath, const SceneLoadOptions& loadOptions,
                    const SceneLoadResult& loaded, TimeValue firstTime, const ExportRequest& request) {
    const std::string& folder = *request.playerFolder;
    const std::vector<SceneNode*> nodes = scene.nodes();

    // Which node goes to which part: surfaces by their part; tag_torso joins lower and upper,
    // tag_head upper and head, tag_weapon and the other tags under the upper part go to upper.
    std::vector<std::array<bool, kPartCount>> shownIn(nodes.size(), {false, false, false});
    std::array<int, kPartCount> surfaces{};
    std::set<std::string> tagsFound;
    for (size_t i = 0; i < nodes.size(); ++i) {
        const SceneNode* node = nodes[i];
        const Part part = partOf(node);
        if (isTag(node->name())) {
            tagsFound.insert(node->name());
            if (node->name() == "tag_torso") {
                shownIn[i][kLower] = shownIn[i][kUpper] = true;
            } else if (node->name() == "tag_head") {
                shownIn[i][kUpper] = shownIn[i][kHead] = true;
            } else if (node->name() == "tag_weapon" || part == kUpper) {
                shownIn[i][kUpper] = true;
            } else {
                std::fprintf(stderr, "note: %s is not under the upper part; no part takes it\n", node->name().c_str());
            }
        } else if (part != kNoPart) {
            shownIn[i][part] = true;
            surfaces[part] += hasGeometry(node) ? 1 : 0;
        } else if (hasGeometry(node)) {
            std::fprintf(stderr,
                         "note: %s is in no part (l_*, u_*, h_* names or lower, upper, head groups); it is "
                         "left out\n",
                         node->name().c_str());
        }
    }
    for (int part = 0; part < kPartCount; ++part) {
        if (surfaces[part] == 0) {
            std::fprintf(stderr,
                         "plughost export: the scene has no %s part: name its meshes %s* or put them under a group "
                         "node named %s\n",
                         kPartNames[part], kPartPrefixes[part], kPartNames[part]);
            return kExitFailed;
        }
    }
    for (const char* tag : {"tag_torso", "tag_head"}) {
        if (tagsFound.count(tag) == 0) {
            std::fprintf(stderr, "plughost export: the scene has no %s, which joins the player's parts\n", tag);
            return kExitFailed;
        }
    }
    if (tagsFound.count("tag_weapon") == 0) {
        std::fprintf(stderr, "warning: the scene has no tag_weapon; the player will hold no weapon\n");
    }

    // The clips: one load of the scene per animation named after one of the game's. Of Blender's
    // FBX takes, one per object and action ("l_legs|LEGS_WALK"), a clip is an action: its takes
    // play together, and the objects it does not move stay as the file places them.
    std::vector<std::unique_ptr<Scene>> loads;
    std::vector<Scene*> sources{&scene};
    std::map<Animation, Clip> clips;
    const int baseRate = loaded.frameRate > 0 ? loaded.frameRate : GetFrameRate();
    const bool byAction = !loaded.actionNames.empty();
    const std::vector<std::string>& clipNames = byAction ? loaded.actionNames : loaded.animationNames;
    std::vector<std::string> unnamed;  // animations not named after one of the game's
    for (size_t a = 0; a < clipNames.size(); ++a) {
        const std::optional<Animation> animation = player::animationByName(clipNames[a]);
        if (!animation) {
            unnamed.push_back(clipNames[a]);
            continue;
        }
        if (clips.count(*animation) > 0) {
            std::fprintf(stderr, "note: a second animation named %s is left out\n", clipNames[a].c_str());
            continue;
        }
        SceneLoadOptions options = loadOptions;
        options.allAnimations = false;
        options.animationName = byAction ? clipNames[a] : "";
        options.animationIndex = byAction ? -1 : static_cast<int>(a);
        auto load = std::make_unique<Scene>();
        const SceneLoadResult clipLoad = loadSceneFile(scenePath, options, *load);
        if (!clipLoad.ok) {
            std::fprintf(stderr, "plughost export: cannot load the animation %s of '%s': %s\n", clipNames[a].c_str(),
                         scenePath.c_str(), clipLoad.error.c_str());
            return kExitFailed;
        }
        if (byAction && !clipLoad.notes.empty()) {
            std::fprintf(stderr, "note: %s: %s\n", scenePath.c_str(), clipLoad.notes.front().c_str());
        }
        clips[*animation] = {sources.size(), clipLoad.lengthFrames + 1, clipLoad.frameRate};
        sources.push_back(load.get());
        loads.push_back(std::move(load));
    }
    SetFrameRate(baseRate);  // each load set the clock to its own rate
    for (const std::string& name : clips.empty() ? std::vector<std::string>() : unnamed) {
        std::fprintf(stderr, "note: the animation '%s' is not named after one of the game's and is left out\n",
                     name.c_str());
    }

    // The timelines: lower plays the BOTH_ clips, then the LEGS_ clips; upper the BOTH_ clips,
    // then the TORSO_ clips; the head holds one frame. A section without clips holds one still
    // frame, so that the rows of its animations have a frame to play.
    std::array<Timeline, kPartCount> timelines;
    std::array<Placement, player::kAnimationCount> placements{};
    const auto layOut = [&](Timeline& timeline, bool (*inSection)(Animation)) {
        const int sectionStart = timeline.frames();
        for (size_t a = 0; a < player::kAnimationCount; ++a) {
            const Animation animation = player::animationAt(a);
            const auto clip = clips.find(animation);
            if (inSection(animation) && clip != clips.end()) {
                placements[a] = {timeline.frames(), clip->second.frames, clip->second.rate};
                timeline.add(clip->second.source, clip->second.frames, clip->second.rate);
            }
        }
        if (timeline.frames() == sectionStart) {
            timeline.add(0, 1, baseRate, firstTime);
        }
        return sectionStart;
    };
    const auto isBoth = [](Animation a) { return !player::isLegs(a) && !player::isTorso(a); };
    int torsoFrames = 0;
    int sectionStart = 0;
    if (clips.empty()) {
        std::fprintf(stderr,
                     "note: the scene has no animations named after the game's (BOTH_DEATH1 .. LEGS_TURN); every "
                     "row of animation.cfg plays the exported frames\n");
    } else {
        // BOTH_ rows play in both files at the same frames; an empty section adds nothing here.
        for (const Part part : {kLower, kUpper}) {
            Timeline& timeline = timelines[part];
            for (size_t a = 0; a < player::kAnimationCount; ++a) {
                const auto clip = clips.find(player::animationAt(a));
                if (isBoth(player::animationAt(a)) && clip != clips.end()) {
                    placements[a] = {timeline.frames(), clip->second.frames, clip->second.rate};
                    timeline.add(clip->second.source, clip->second.frames, clip->second.rate);
                }
            }
        }
        sectionStart = layOut(timelines[kUpper], player::isTorso);
        torsoFrames = timelines[kUpper].frames() - sectionStart;
        layOut(timelines[kLower], player::isLegs);
        timelines[kHead].add(0, 1, baseRate, 0);
        if (request.dialog.from >= 0 || request.dialog.to >= 0) {
            std::fprintf(stderr, "note: --from and --to are left aside: the named animations give the frames\n");
        }
        for (const Part part : {kLower, kUpper}) {
            if (timelines[part].frames() - 1 > kLastDialogFrame) {
                std::fprintf(stderr,
                             "plughost export: %s.md3 would hold %d frames; the exporter's dialog exports at most %d "
                             "(frames 0 to %d)\n",
                             kPartNames[part], timelines[part].frames(), kLastDialogFrame + 1, kLastDialogFrame);
                return kExitFailed;
            }
        }
    }

    std::error_code made;
    std::filesystem::create_directories(folder, made);
    if (made) {
        std::fprintf(stderr, "plughost export: cannot make the folder '%s': %s\n", folder.c_str(),
                     made.message().c_str());
        return kExitFailed;
    }

    // One export per part and level, each through the options dialog: lower in model space, upper
    // and head relative to their reference tag (upper holds tag_torso, head only tag_head).
    LimitsBroken broken;
    for (int level = 0; level <= request.detailLevels; ++level) {
        for (int part = 0; part < kPartCount; ++part) {
            DialogChoices choices = request.dialog;
            choices.relative = part != kLower;
            choices.useObjects = false;
            choices.useTags = false;
            arrange::TimeMap map;
            TimeValue viewFirst = 0;
            if (!clips.empty()) {
                choices.from = 0;
                choices.to = timelines[part].frames() - 1;
                map = timelines[part].map();
            } else if (part == kHead) {
                choices.from = choices.to = 0;
                map = [firstTime](TimeValue) { return arrange::SourceTime{0, firstTime}; };
            } else {
                map = [](TimeValue time) { return arrange::SourceTime{0, time}; };
                viewFirst = firstTime;
            }
            arrange::SceneView view(sources, map);
            if (!view.ok()) {
                std::fprintf(stderr, "plughost export: the animations of '%s' do not move the same nodes: %s\n",
                             scenePath.c_str(), view.error().c_str());
                return kExitFailed;
            }
            for (size_t i = 0; i < nodes.size(); ++i) {
                if (!shownIn[i][static_cast<size_t>(part)]) {
                    view.hide(i);
                }
            }
            arrange::SurfaceArrangement how;
            how.detailLevel = level;
            how.fitLimits = request.fitLimits;
            if (level > 0 || request.fitLimits) {
                for (const std::string& message : arrange::arrangeSurfaces(view, viewFirst, how)) {
                    std::fprintf(stderr, "note: %s: %s\n", kPartNames[part], message.c_str());
                }
            }
            std::string path = folder + "/" + kPartNames[part] + ".md3";
            path = level == 0 ? path : detailLevelPath(path, level);
            const ExportOutcome outcome = exportThroughDialog(session, view.scene(), path, choices, request);
            if (outcome.status != kExitOk) {
                return outcome.status;
            }
            broken.add(outcome.broken);
        }
    }

    // animation.cfg: rows in file frames first, then the legs numbered after the torso rows
    // (the game subtracts LEGS_WALKCR.first - TORSO_GESTURE.first from them to index lower.md3).
    player::AnimationConfig config;
    if (clips.empty()) {
        const int count = std::abs(std::max(request.dialog.to, 0) - std::max(request.dialog.from, 0)) + 1;
        for (size_t a = 0; a < player::kAnimationCount; ++a) {
            config.rows[a] = {0, count, player::gameLoops(player::animationAt(a)) ? count : 0,
                              static_cast<double>(baseRate)};
        }
    } else {
        const auto at = [](Animation a) { return static_cast<size_t>(a); };
        for (size_t a = 0; a < player::kAnimationCount; ++a) {
            const Animation animation = player::animationAt(a);
            if (clips.count(animation) > 0) {
                continue;
            }
            // A missing animation holds a still frame: a death's last frame for its BOTH_DEAD,
            // else the first frame of its section (TORSO_GESTURE and LEGS_WALKCR must start
            // their sections for the legs' numbering to hold).
            Placement still{isBoth(animation) ? 0 : sectionStart, 1, baseRate};
            const std::map<Animation, Animation> deathOf = {{Animation::BothDead1, Animation::BothDeath1},
                                                            {Animation::BothDead2, Animation::BothDeath2},
                                                            {Animation::BothDead3, Animation::BothDeath3}};
            const auto death = deathOf.find(animation);
            if (death != deathOf.end() && clips.count(death->second) > 0) {
                const Placement& dying = placements[at(death->second)];
                still = {dying.first + dying.count - 1, 1, dying.rate};
            }
            placements[a] = still;
        }
        for (size_t a = 0; a < player::kAnimationCount; ++a) {
            const Animation animation = player::animationAt(a);
            const Placement& placed = placements[a];
            const int first = placed.first + (player::isLegs(animation) ? torsoFrames : 0);
            config.rows[a] = {first, placed.count, player::gameLoops(animation) ? placed.count : 0,
                              static_cast<double>(placed.rate)};
        }
    }

    modelformat::FileSetOutput texts(folder + "/animation.cfg");
    const std::string animationText = player::writeAnimationConfig(config);
    texts.writeFile(folder + "/animation.cfg", animationText.data(), animationText.size());
    for (int part = 0; part < kPartCount; ++part) {
        std::vector<player::SkinEntry> entries;
        const std::string model = folder + "/" + kPartNames[part] + ".md3";
        if (!skinOf(model, entries)) {
            std::fprintf(stderr, "plughost export: %s does not read back; no skin is written for it\n", model.c_str());
            return kExitFailed;
        }
        const std::string skin = player::writeSkin(entries);
        texts.writeFile(folder + "/" + kPartNames[part] + "_default.skin", skin.data(), skin.size());
    }
    // The game takes a player only with its icon (for the default skin, icon_default); a folder
    // without one gets a plain grey placeholder, and a modeller's own icon is never replaced.
    const std::vector<std::string> icons = player::iconNames("default");
    const bool hasIcon = std::any_of(icons.begin(), icons.end(), [&](const std::string& name) {
        std::error_code ignored;
        return std::filesystem::exists(folder + "/" + name, ignored);
    });
    if (!hasIcon) {
        const std::vector<uint8_t> icon = placeholderIcon();
        texts.writeFile(folder + "/icon_default.tga", icon.data(), icon.size());
    }
    if (!texts.commit()) {
        std::fprintf(stderr, "plughost export: cannot write the player's text files: %s\n", texts.failure().c_str());
        return kExitFailed;
    }
    std::printf("wrote %s/animation.cfg and the skins %s_default.skin, %s_default.skin, %s_default.skin\n",
                folder.c_str(), kPartNames[kLower], kPartNames[kUpper], kPartNames[kHead]);
    if (!hasIcon) {
        std::fprintf(stderr,
                     "note: wrote a grey placeholder %s/icon_default.tga (the game refuses a player without its "
                     "icon); replace it with a 64x64 picture of the head\n",
                     folder.c_str());
    }

    if (broken.surfaceSize && !request.fitLimits) {
        std::fprintf(stderr, "note: --fit-limits cuts surfaces into parts the game takes\n");
    }
    if (broken.any && request.strict) {
        std::fprintf(stderr,
                     "plughost export: --strict: the export breaks the game's limits (the files are written)\n");
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace host
