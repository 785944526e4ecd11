// plughost check DIR: a Quake III player folder judged as the game joins, animates and skins it.
#include "player_check.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include <animation_config.h>
#include <modelformat/byte_reader.h>
#include <modelformat/model_limits.h>
#include <skin_file.h>

#include "session.h"

namespace host {

namespace {

// animation.cfg and .skin files are a few hundred bytes; anything past this is not one.
constexpr size_t kMaxTextFileSize = size_t{1} << 20;
// A reference tag written as the identity by a tool computes to it within float rounding; a part
// left in model space is off by whole units.
constexpr float kIdentityTolerance = 1e-3f;

enum PartIndex : size_t { kLower, kUpper, kHead, kPartCount };
const char* const kPartNames[kPartCount] = {"lower", "upper", "head"};
// The levels of detail the game loads beside a part: NAME_1.md3, NAME_2.md3.
const char* const kDetailSuffixes[] = {"_1", "_2"};

struct Part {
    std::string file;  // "lower.md3"
    std::optional<modelformat::Md3Model> model;
    std::vector<std::string> levelsOfDetail;  // the files found
};

std::string atByte(size_t offset, const std::string& message) {
    return "at byte " + std::to_string(offset) + ": " + message;
}

std::string inFolder(const std::string& folder, const std::string& name) {
    return (std::filesystem::path(folder) / name).string();
}

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// The whole file, at most `limit` bytes; empty `why` when read.
std::vector<uint8_t> readWhole(const std::string& path, size_t limit, std::string& why) {
    std::vector<uint8_t> bytes;
    if (!isRegularFile(path)) {
        why = "not a regular file";
        return bytes;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        why = "cannot be opened";
        return bytes;
    }
    const modelformat::ReadError error =
        modelformat::readFileBytes(file, modelformat::FileReadStart::FileStart, bytes, limit);
    std::fclose(file);
    if (error != modelformat::ReadError::None) {
        why = std::string("cannot be read (") + modelformat::readErrorName(error) + ")";
        bytes.clear();
    }
    return bytes;
}

std::string lowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

std::string listed(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

class FolderCheck {
public:
    explicit FolderCheck(std::string folder) : folder_(std::move(folder)) {}

    PlayerFolderReport run() {
        for (size_t p = 0; p < kPartCount; ++p) {
            readPart(p);
        }
        checkJoiningTags();
        checkReferenceTag(parts_[kUpper], "tag_torso", "lower.md3's tag_torso");
        checkReferenceTag(parts_[kHead], "tag_head", "upper.md3's tag_head");
        checkAnimationConfig();
        checkSkins();
        return std::move(report_);
    }

private:
    void problem(const std::string& text) { report_.problems.push_back(text); }
    void warning(const std::string& text) { report_.warnings.push_back(text); }

    // Reads an MD3 and judges it as `check FILE` does; the model when it reads.
    std::optional<modelformat::Md3Model> judgeMd3(const std::string& file) {
        std::string why;
        const std::vector<uint8_t> bytes = readWhole(inFolder(folder_, file), modelformat::kMaxModelFileSize, why);
        if (!why.empty()) {
            problem(file + ": " + why);
            return std::nullopt;
        }
        modelformat::Md3ReadResult read = modelformat::readMd3(bytes);
        if (!read.ok) {
            problem(file + ": breaks the format: " + atByte(read.offset, read.message));
            return std::nullopt;
        }
        for (const modelformat::LimitBreach& breach : modelformat::checkMd3Limits(read.model)) {
            problem(file + ": over a limit: " + breach.where + ": " + breach.message);
        }
        for (const modelformat::GameFault& fault : modelformat::findMd3GameFaults(read.model)) {
            problem(file + ": the game cannot use it: " + fault.where + ": " + atByte(fault.offset, fault.message));
        }
        return std::move(read.model);
    }

    void readPart(size_t index) {
        Part& part = parts_[index];
        part.file = std::string(kPartNames[index]) + ".md3";
        if (!exists(inFolder(folder_, part.file))) {
            problem(part.file + ": missing (a player is lower.md3, upper.md3 and head.md3)");
        } else {
            part.model = judgeMd3(part.file);
        }
        for (const char* suffix : kDetailSuffixes) {
            const std::string detail = std::string(kPartNames[index]) + suffix + ".md3";
            if (exists(inFolder(folder_, detail))) {
                part.levelsOfDetail.push_back(detail);
                judgeMd3(detail);
            }
        }
        if (part.model) {
            const modelformat::Md3Model& model = *part.model;
            std::vector<std::string> tags;
            std::vector<std::string> surfaces;
            for (int32_t t = 0; t < model.header.tagCount && model.header.frameCount > 0; ++t) {
                tags.push_back(model.tag(0, t).name);
            }
            for (const modelformat::Md3Surface& surface : model.surfaces) {
                surfaces.push_back(surface.header.name);
            }
            std::string line = part.file + ": " + counted(model.header.frameCount, "frame") + ", " +
                               counted(model.header.tagCount, "tag") + (tags.empty() ? "" : " (" + listed(tags) + ")") +
                               ", " + counted(model.header.surfaceCount, "surface") +
                               (surfaces.empty() ? "" : " (" + listed(surfaces) + ")");
            if (!part.levelsOfDetail.empty()) {
                line += "; levels of detail " + listed(part.levelsOfDetail);
            }
            report_.summary.push_back(line);
        }
    }

    static std::optional<int32_t> tagIndex(const modelformat::Md3Model& model, const std::string& name) {
        for (int32_t t = 0; t < model.header.tagCount && model.header.frameCount > 0; ++t) {
            if (model.tag(0, t).name == name) {
                return t;
            }
        }
        return std::nullopt;
    }

    // The tags the game hangs the parts and the weapon on.
    void checkJoiningTags() {
        struct JoiningTag {
            PartIndex part;
            const char* tag;
            const char* why;
        };
        const JoiningTag joining[] = {
            {kLower, "tag_torso", "the game joins upper.md3 to it"},
            {kUpper, "tag_head", "the game joins head.md3 to it"},
            {kUpper, "tag_weapon", "the game puts the weapon in hand by it"},
        };
        for (const JoiningTag& join : joining) {
            const Part& part = parts_[join.part];
            if (part.model && !tagIndex(*part.model, join.tag)) {
                problem(part.file + ": no " + join.tag + " (" + join.why + ")");
            }
        }
    }

    static bool isIdentity(const modelformat::Md3TagRecord& tag) {
        const std::array<float, 12> values = {tag.origin.x,  tag.origin.y,  tag.origin.z,  tag.axes[0].x,
                                              tag.axes[0].y, tag.axes[0].z, tag.axes[1].x, tag.axes[1].y,
                                              tag.axes[1].z, tag.axes[2].x, tag.axes[2].y, tag.axes[2].z};
        const std::array<float, 12> identity = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
        for (size_t i = 0; i < values.size(); ++i) {
            if (!(std::fabs(values[i] - identity[i]) <= kIdentityTolerance)) {
                return false;
            }
        }
        return true;
    }

    // A part that holds the tag it hangs by is expressed relative to it: the record is the
    // identity in every frame, or the game draws the part displaced by it.
    void checkReferenceTag(const Part& part, const char* tagName, const char* hangsOn) {
        if (!part.model) {
            return;
        }
        const std::optional<int32_t> tag = tagIndex(*part.model, tagName);
        if (!tag) {
            return;
        }
        int32_t firstOff = -1;
        int32_t framesOff = 0;
        for (int32_t f = 0; f < part.model->header.frameCount; ++f) {
            if (!isIdentity(part.model->tag(f, *tag))) {
                firstOff = firstOff < 0 ? f : firstOff;
                ++framesOff;
            }
        }
        if (framesOff > 0) {
            warning(part.file + ": " + tagName + " is not the identity in " + std::to_string(framesOff) + " of " +
                    counted(part.model->header.frameCount, "frame") + " (first frame " + std::to_string(firstOff) +
                    "); the game places the part at " + hangsOn + ", so a part not expressed relative to its " +
                    tagName + " is drawn displaced");
        }
    }

    // One row against one part: its frames (less the legs offset for LEGS_* rows) inside the file.
    void checkRowRange(const host::player::AnimationRow& row, const char* name, const Part& part, int offset) {
        if (!part.model) {
            return;
        }
        const long long count = std::llabs(static_cast<long long>(row.count));
        const long long first = static_cast<long long>(row.first) - offset;
        const long long frames = part.model->header.frameCount;
        if (count == 0 || (first >= 0 && first + count <= frames)) {
            return;
        }
        const std::string numbered = offset == 0 ? ""
                                                 : " (its first frame " + std::to_string(row.first) +
                                                       " less the legs offset " + std::to_string(offset) + ")";
        problem("animation.cfg: " + std::string(name) + " plays frames " + std::to_string(first) + " to " +
                std::to_string(first + count - 1) + " of " + part.file + numbered +
                (first < 0 ? ", before its first frame" : ", past its " + counted(frames, "frame")));
    }

    void checkAnimationConfig() {
        const std::string path = inFolder(folder_, "animation.cfg");
        if (!exists(path)) {
            problem("animation.cfg: missing (the game reads the animations' frames from it)");
            return;
        }
        std::string why;
        const std::vector<uint8_t> bytes = readWhole(path, kMaxTextFileSize, why);
        if (!why.empty()) {
            problem("animation.cfg: " + why);
            return;
        }
        player::AnimationConfig config;
        std::string error;
        if (!player::parseAnimationConfig(std::string(bytes.begin(), bytes.end()), config, error)) {
            problem("animation.cfg: " + error);
            return;
        }
        const int legsOffset = player::legsOffset(config);
        report_.summary.push_back("animation.cfg: 25 animations, legs offset " + std::to_string(legsOffset));
        for (size_t i = 0; i < player::kAnimationCount; ++i) {
            const player::Animation animation = player::animationAt(i);
            const player::AnimationRow& row = config.rows[i];
            const char* name = player::animationName(animation);
            if (player::isLegs(animation)) {
                checkRowRange(row, name, parts_[kLower], legsOffset);
            } else {
                if (!player::isTorso(animation)) {
                    checkRowRange(row, name, parts_[kLower], 0);
                }
                checkRowRange(row, name, parts_[kUpper], 0);
            }
            if (row.looping > std::abs(row.count)) {
                problem("animation.cfg: " + std::string(name) + " loops " + std::to_string(row.looping) +
                        " frames of its " + counted(std::abs(row.count), "frame"));
            }
        }
    }

    // Why a skin's texture path is not one the game can find; empty when it is plausible.
    static std::string implausibleTexture(const std::string& texture) {
        if (texture.empty()) {
            return "no texture";
        }
        if (texture.size() > modelformat::kMd3MaxNameLength) {
            return "the texture '" + texture + "' is " + std::to_string(texture.size()) +
                   " characters; the game keeps 63";
        }
        if (texture.find('\\') != std::string::npos) {
            return "the texture '" + texture + "' has back slashes; the game's paths take forward slashes";
        }
        if (texture.front() == '/' || (texture.size() > 1 && texture[1] == ':')) {
            return "the texture '" + texture + "' is not relative to the game folder (models/...)";
        }
        const std::string lower = lowerCase(texture);
        const size_t dot = lower.rfind('.');
        const std::string extension = dot == std::string::npos ? "" : lower.substr(dot);
        if (extension != ".tga" && extension != ".jpg" && extension != ".jpeg" && extension != ".png") {
            return "the texture '" + texture + "' does not end in an image extension (.tga, .jpg, .png)";
        }
        return {};
    }

    void checkSkinEntries(const std::string& file, const Part& part, const std::vector<player::SkinEntry>& entries) {
        for (const player::SkinEntry& entry : entries) {
            if (lowerCase(entry.surface).rfind("tag_", 0) == 0) {
                continue;  // a tag line; the game skips it
            }
            if (part.model) {
                const std::string wanted = lowerCase(entry.surface);
                const auto& surfaces = part.model->surfaces;
                const bool found = std::any_of(surfaces.begin(), surfaces.end(), [&](const auto& surface) {
                    return gameSurfaceName(surface.header.name) == wanted;
                });
                if (!found) {
                    const auto literal = std::find_if(surfaces.begin(), surfaces.end(), [&](const auto& surface) {
                        return lowerCase(surface.header.name) == wanted;
                    });
                    problem(file + ": no surface " + entry.surface + " in " + part.file +
                            (literal == surfaces.end() ? ""
                                                       : " (the game reads its surface " + literal->header.name +
                                                             " as " + gameSurfaceName(literal->header.name) + ")"));
                }
            }
            const std::string wrong = implausibleTexture(entry.texture);
            if (!wrong.empty()) {
                problem(file + ": surface " + entry.surface + ": " + wrong);
            }
        }
    }

    void checkSkins() {
        std::vector<std::string> skins;
        std::error_code error;
        for (std::filesystem::directory_iterator it(folder_, error), end; !error && it != end; it.increment(error)) {
            const std::string name = it->path().filename().string();
            for (const char* part : kPartNames) {
                const std::string prefix = std::string(part) + "_";
                if (name.size() > prefix.size() + 5 && name.rfind(prefix, 0) == 0 &&
                    name.compare(name.size() - 5, 5, ".skin") == 0) {
                    skins.push_back(name);
                }
            }
        }
        std::sort(skins.begin(), skins.end());
        for (const char* part : kPartNames) {
            const std::string defaultSkin = std::string(part) + "_default.skin";
            if (!std::binary_search(skins.begin(), skins.end(), defaultSkin)) {
                warning(defaultSkin + ": missing (the game reads it when no other skin is asked for)");
            }
        }
        if (!skins.empty()) {
            report_.summary.push_back("skins: " + listed(skins));
        }
        const std::vector<std::string> icons = host::player::iconNames("default");
        if (std::none_of(icons.begin(), icons.end(),
                         [&](const std::string& icon) { return isRegularFile(inFolder(folder_, icon)); })) {
            warning("icon_default.tga: missing (the game falls back to its default player without the icon)");
        }
        for (const std::string& file : skins) {
            const size_t partIndex = static_cast<size_t>(
                std::find_if(std::begin(kPartNames), std::end(kPartNames),
                             [&](const char* part) { return file.rfind(std::string(part) + "_", 0) == 0; }) -
                std::begin(kPartNames));
            std::string why;
            const std::vector<uint8_t> bytes = readWhole(inFolder(folder_, file), kMaxTextFileSize, why);
            if (!why.empty()) {
                problem(file + ": " + why);
                continue;
            }
            std::vector<player::SkinEntry> entries;
            std::string parseError;
            if (!player::parseSkin(std::string(bytes.begin(), bytes.end()), entries, parseError)) {
                problem(file + ": " + parseError);
                continue;
            }
            checkSkinEntries(file, parts_[partIndex], entries);
        }
    }

    std::string folder_;
    std::array<Part, kPartCount> parts_;
    PlayerFolderReport report_;
};

}  // namespace

std::string gameSurfaceName(const std::string& surfaceName) {
    std::string name = lowerCase(surfaceName);
    if (name.size() >= 2 && name[name.size() - 2] == '_') {
        name.resize(name.size() - 2);
    }
    return name;
}

PlayerFolderReport checkPlayerFolder(const std::string& folder) { return FolderCheck(folder).run(); }

}  // namespace host
