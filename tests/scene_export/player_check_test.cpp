// plughost check DIR on player folders built here from small generated parts: a sound folder
// passes; each fault (a part, a tag, a frame range, a skin entry, a file over a limit) fails with
// its line; reference tags that are not the identity warn. The stock sarge folder passes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "animation_config.h"
#include "model_builders.h"
#include "plughost_process.h"
#include "sample_files.h"
#include "skin_file.h"

namespace {

using namespace testmodels;
using host::player::AnimationConfig;
using host::player::SkinEntry;

using plughosttest::ProcessEnd;
using plughosttest::runPlughost;

// A part of `frames` frames with the named tags and surfaces (4 vertices, 2 triangles each).
modelformat::Md3Model part(int32_t frames, const std::vector<std::string>& tags,
                           const std::vector<std::string>& surfaces) {
    modelformat::Md3Model model =
        makeMd3Model(frames, static_cast<int32_t>(tags.size()), static_cast<int32_t>(surfaces.size()));
    for (size_t i = 0; i < model.tags.size(); ++i) {
        model.tags[i].name = tags[i % tags.size()];
    }
    for (size_t s = 0; s < surfaces.size(); ++s) {
        model.surfaces[s].header.name = surfaces[s];
    }
    return model;
}

// Sets every frame's record of the tag to the identity.
void makeIdentity(modelformat::Md3Model& model, const std::string& tag) {
    for (modelformat::Md3TagRecord& record : model.tags) {
        if (record.name == tag) {
            record.origin = {};
            record.axes = {modelformat::Md3Vec3{1, 0, 0}, modelformat::Md3Vec3{0, 1, 0}, modelformat::Md3Vec3{0, 0, 1}};
        }
    }
}

// Every row plays 2 frames, one after another: BOTH_* at 0..11, TORSO_* at 12..25, LEGS_* at
// 26..49, numbered after the torso rows; the legs offset is 26 - 12 = 14, so the legs play
// lower.md3's frames 12..35. lower.md3 then needs 36 frames, upper.md3 26: exactly enough.
constexpr int32_t kLowerFrames = 36;
constexpr int32_t kUpperFrames = 26;

AnimationConfig tightConfig() {
    AnimationConfig config;
    for (size_t i = 0; i < host::player::kAnimationCount; ++i) {
        const bool loops = host::player::gameLoops(host::player::animationAt(i));
        config.rows[i] = {static_cast<int>(2 * i), 2, loops ? 2 : 0, 15};
    }
    return config;
}

constexpr size_t kTorsoStand2 = static_cast<size_t>(host::player::Animation::TorsoStand2);
constexpr size_t kBothDead3 = static_cast<size_t>(host::player::Animation::BothDead3);
constexpr size_t kLegsWalk = static_cast<size_t>(host::player::Animation::LegsWalk);
constexpr size_t kLegsJump = static_cast<size_t>(host::player::Animation::LegsJump);
constexpr size_t kLegsTurn = static_cast<size_t>(host::player::Animation::LegsTurn);

struct PlayerFolder {
    std::map<std::string, modelformat::Md3Model> models;  // file name -> part
    std::map<std::string, std::string> raw;               // file name -> bytes written as they are
    AnimationConfig config = tightConfig();
    bool writeConfig = true;
    std::map<std::string, std::vector<SkinEntry>> skins;
};

PlayerFolder soundFolder() {
    PlayerFolder folder;
    folder.models["lower.md3"] = part(kLowerFrames, {"tag_torso"}, {"l_legs"});
    // The game reads "U_Armour_2" as "u_armour", which the skin names.
    folder.models["upper.md3"] = part(kUpperFrames, {"tag_torso", "tag_head", "tag_weapon"}, {"u_torso", "U_Armour_2"});
    makeIdentity(folder.models["upper.md3"], "tag_torso");
    folder.models["head.md3"] = part(1, {"tag_head"}, {"h_head"});
    makeIdentity(folder.models["head.md3"], "tag_head");
    folder.models["head_1.md3"] = part(1, {"tag_head"}, {"h_head"});
    folder.skins["lower_default.skin"] = {{"l_legs", "models/players/kit/legs.tga"}, {"tag_torso", ""}};
    folder.skins["upper_default.skin"] = {{"u_torso", "models/players/kit/body.jpg"},
                                          {"u_armour", "models/players/kit/armour.png"},
                                          {"tag_head", ""},
                                          {"tag_weapon", ""}};
    folder.skins["head_default.skin"] = {{"H_HEAD", "models/players/kit/head.TGA"}};
    folder.skins["head_red.skin"] = {{"h_head", "models/players/kit/red.tga"}};
    folder.raw["icon_default.png"] = "a picture";
    return folder;
}

struct FolderCase {
    const char* name;
    std::function<void(PlayerFolder&)> change;
    int status;           // what check must end with
    std::string line;     // a line it must print (after the two-space indent)
    std::string notLine;  // a line it must not print; may be empty
};

const FolderCase kFolderCases[] = {
    {"Sound", [](PlayerFolder&) {}, 0, "passes", "warning"},
    {"MissingPart", [](PlayerFolder& f) { f.models.erase("head.md3"); }, 1,
     "head.md3: missing (a player is lower.md3, upper.md3 and head.md3)", ""},
    {"NoTagWeapon",
     [](PlayerFolder& f) {
         f.models["upper.md3"] = part(kUpperFrames, {"tag_torso", "tag_head"}, {"u_torso"});
     },
     1, "upper.md3: no tag_weapon (the game puts the weapon in hand by it)", "upper.md3: no tag_head"},
    {"NoTagTorso", [](PlayerFolder& f) { f.models["lower.md3"] = part(kLowerFrames, {"tag_flag"}, {"l_legs"}); }, 1,
     "lower.md3: no tag_torso (the game joins upper.md3 to it)", ""},
    {"UpperNotRelativeToTorso",
     [](PlayerFolder& f) {
         modelformat::Md3Model& upper = f.models["upper.md3"];
         upper.tags[3 * 3 + 0].origin.z = 24.0f;  // frame 3's tag_torso
         upper.tags[7 * 3 + 0].axes[1].y = 0.5f;  // frame 7's
     },
     0, "warning: upper.md3: tag_torso is not the identity in 2 of 26 frames (first frame 3)", ""},
    {"HeadNotRelativeToHead", [](PlayerFolder& f) { f.models["head.md3"].tags[0].origin.x = 3.0f; }, 0,
     "warning: head.md3: tag_head is not the identity in 1 of 1 frame (first frame 0)", ""},
    {"LegsRowPastLower", [](PlayerFolder& f) { f.config.rows[kLegsTurn].count = 3; }, 1,
     "animation.cfg: LEGS_TURN plays frames 34 to 36 of lower.md3 (its first frame 48 less the legs offset 14), past "
     "its 36 frames",
     ""},
    {"LegsRowBeforeLower", [](PlayerFolder& f) { f.config.rows[kLegsJump].first = 10; }, 1,
     "animation.cfg: LEGS_JUMP plays frames -4 to -3 of lower.md3 (its first frame 10 less the legs offset 14), "
     "before its first frame",
     ""},
    {"TorsoRowPastUpper", [](PlayerFolder& f) { f.config.rows[kTorsoStand2].count = -3; }, 1,
     "animation.cfg: TORSO_STAND2 plays frames 24 to 26 of upper.md3, past its 26 frames", ""},
    // BOTH_* rows play on both parts: frame 30 is in lower.md3, not in upper.md3.
    {"BothRowPastUpperOnly",
     [](PlayerFolder& f) {
         f.config.rows[kBothDead3] = {30, 1, 0, 15};
     },
     1, "animation.cfg: BOTH_DEAD3 plays frames 30 to 30 of upper.md3, past its 26 frames", "of lower.md3"},
    {"LoopingPastCount", [](PlayerFolder& f) { f.config.rows[kLegsWalk].looping = 5; }, 1,
     "animation.cfg: LEGS_WALK loops 5 frames of its 2 frames", ""},
    {"NoAnimationConfig", [](PlayerFolder& f) { f.writeConfig = false; }, 1,
     "animation.cfg: missing (the game reads the animations' frames from it)", ""},
    {"BadAnimationConfig",
     [](PlayerFolder& f) {
         f.writeConfig = false;
         f.raw["animation.cfg"] = "sex m\n0 1 0 15\n1 1 zero 15\n";
     },
     1, "animation.cfg: line 3: BOTH_DEAD1: the looping frames 'zero' is not a whole number", ""},
    {"SkinNamesAbsentSurface",
     [](PlayerFolder& f) {
         f.skins["lower_default.skin"].push_back({"l_tail", "a.tga"});
     },
     1, "lower_default.skin: no surface l_tail in lower.md3", ""},
    // The game drops a final "_" and one character from the surface, never from the skin's name.
    {"SkinNamesSuffixedSurface",
     [](PlayerFolder& f) {
         f.skins["upper_default.skin"].push_back({"U_Armour_2", "models/a.tga"});
     },
     1, "upper_default.skin: no surface U_Armour_2 in upper.md3 (the game reads its surface U_Armour_2 as u_armour)",
     ""},
    {"SkinOfAnotherSkinSet",
     [](PlayerFolder& f) {
         f.skins["head_red.skin"] = {{"h_face", "models/a.tga"}};
     },
     1, "head_red.skin: no surface h_face in head.md3", ""},
    {"SkinBackSlashes",
     [](PlayerFolder& f) {
         f.skins["head_default.skin"] = {{"h_head", "models\\kit\\a.tga"}};
     },
     1, "head_default.skin: surface h_head: the texture 'models\\kit\\a.tga' has back slashes", ""},
    {"SkinAbsolutePath",
     [](PlayerFolder& f) {
         f.skins["head_default.skin"] = {{"h_head", "C:/q3/a.tga"}};
     },
     1, "head_default.skin: surface h_head: the texture 'C:/q3/a.tga' is not relative", ""},
    {"SkinNoImage",
     [](PlayerFolder& f) {
         f.skins["head_default.skin"] = {{"h_head", "models/kit/a.pcx"}};
     },
     1, "head_default.skin: surface h_head: the texture 'models/kit/a.pcx' does not end in an image extension", ""},
    {"SkinLongTexture",
     [](PlayerFolder& f) {
         f.skins["head_default.skin"] = {{"h_head", "models/" + std::string(56, 'k') + ".tga"}};
     },
     1, "head_default.skin: surface h_head: the texture 'models/", ""},
    {"SkinNoTexture",
     [](PlayerFolder& f) {
         f.skins["head_default.skin"] = {{"h_head", ""}};
     },
     1, "head_default.skin: surface h_head: no texture", ""},
    {"SkinBadLine",
     [](PlayerFolder& f) {
         f.skins.erase("head_default.skin");
         f.raw["head_default.skin"] = "h_head,a.tga\n,b.tga\n";
     },
     1, "head_default.skin: line 2: no surface name before the comma", ""},
    {"NoDefaultSkin", [](PlayerFolder& f) { f.skins.erase("lower_default.skin"); }, 0,
     "warning: lower_default.skin: missing", ""},
    {"NoIcon", [](PlayerFolder& f) { f.raw.erase("icon_default.png"); }, 0, "warning: icon_default.tga: missing", ""},
    {"DetailOverLimit",
     [](PlayerFolder& f) {
         modelformat::Md3Surface& surface = f.models["head_1.md3"].surfaces[0];
         surface.header.vertexCount = 1000;
         surface.texCoords.resize(1000);
         surface.vertices.resize(1000);
     },
     1, "head_1.md3: over a limit: surface h_head: 1000 vertices", ""},
    {"PartBreaksTheFormat",
     [](PlayerFolder& f) {
         std::vector<uint8_t> bytes = buildMd3(f.models["upper.md3"], SurfaceBlockOrder::ShadersFirst);
         bytes.resize(bytes.size() - 1);
         f.models.erase("upper.md3");
         f.raw["upper.md3"] = std::string(bytes.begin(), bytes.end());
     },
     1, "upper.md3: breaks the format: at byte ", "upper.md3: no tag_"},
};

class PlayerFolderFiles : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qmp-player-XXXXXX";
        directory_ = mkdtemp(pattern);
    }
    void TearDown() override { std::system(("rm -rf '" + directory_ + "'").c_str()); }

    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(directory_ + "/" + name, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    void writeFolder(const PlayerFolder& folder) const {
        for (const auto& [name, model] : folder.models) {
            const std::vector<uint8_t> bytes = buildMd3(model, SurfaceBlockOrder::ShadersFirst);
            write(name, std::string(bytes.begin(), bytes.end()));
        }
        if (folder.writeConfig) {
            write("animation.cfg", host::player::writeAnimationConfig(folder.config));
        }
        for (const auto& [name, entries] : folder.skins) {
            write(name, host::player::writeSkin(entries));
        }
        for (const auto& [name, bytes] : folder.raw) {
            write(name, bytes);
        }
    }

    std::string directory_;
};

class PlayerFolderCheck : public PlayerFolderFiles, public testing::WithParamInterface<FolderCase> {};

TEST_P(PlayerFolderCheck, FindsTheFault) {
    PlayerFolder folder = soundFolder();
    GetParam().change(folder);
    writeFolder(folder);
    const ProcessEnd check = runPlughost({"check", directory_});
    EXPECT_EQ(check.status, GetParam().status) << check.out;
    EXPECT_NE(check.out.find("\n  " + GetParam().line), std::string::npos) << check.out;
    if (!GetParam().notLine.empty()) {
        EXPECT_EQ(check.out.find(GetParam().notLine), std::string::npos) << check.out;
    }
    EXPECT_NE(check.out.find(GetParam().status == 0 ? "\n  passes\n" : "\n  does not pass\n"), std::string::npos)
        << check.out;
}

INSTANTIATE_TEST_SUITE_P(Faults, PlayerFolderCheck, testing::ValuesIn(kFolderCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(PlayerFolderFiles, JsonListsProblemsAndAFolderNotAPlayerFails) {
    const ProcessEnd empty = runPlughost({"check", directory_, "--json"});
    EXPECT_EQ(empty.status, 1) << empty.out;
    for (const char* missing :
         {"lower.md3: missing", "upper.md3: missing", "head.md3: missing", "animation.cfg: missing"}) {
        EXPECT_NE(empty.out.find(missing), std::string::npos) << empty.out;
    }
    EXPECT_NE(empty.out.find("\"passes\": false"), std::string::npos) << empty.out;
    writeFolder(soundFolder());
    const ProcessEnd sound = runPlughost({"check", directory_, "--json"});
    EXPECT_EQ(sound.status, 0) << sound.out;
    EXPECT_NE(sound.out.find("\"passes\": true"), std::string::npos) << sound.out;
    EXPECT_NE(sound.out.find("\"problems\": []"), std::string::npos) << sound.out;
}

// check FILE names a surface without a shader; the file still passes.
TEST_F(PlayerFolderFiles, AFileWarnsOfASurfaceWithoutShader) {
    modelformat::Md3Model model = part(2, {"tag_torso"}, {"l_legs", "l_belt"});
    model.surfaces[1].shaders.clear();
    const std::vector<uint8_t> bytes = buildMd3(model, SurfaceBlockOrder::ShadersFirst);
    write("lower.md3", std::string(bytes.begin(), bytes.end()));
    const ProcessEnd check = runPlughost({"check", directory_ + "/lower.md3"});
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_NE(check.out.find("  warning: surface l_belt has no shader"), std::string::npos) << check.out;
    EXPECT_EQ(check.out.find("surface l_legs has no shader"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("\n  passes\n"), std::string::npos) << check.out;
}

TEST(PlayerFolderSample, StockSargePasses) {
    const std::string sarge = std::string(QMP_SAMPLES_DIR) + "/openarena-data/models/players/sarge";
    if (testmodels::loadFile(sarge + "/animation.cfg").empty()) {
        QMP_SAMPLE_MISSING() << "the sample player " << sarge << " is not there";
    }
    const ProcessEnd check = runPlughost({"check", sarge});
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_NE(check.out.find("\n  animation.cfg: 25 animations, legs offset 63\n"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("levels of detail head_1.md3, head_2.md3"), std::string::npos) << check.out;
    // The sample folder holds the models and their text files, not the pictures: the icon is all
    // it lacks.
    const size_t warning = check.out.find("warning");
    EXPECT_NE(check.out.find("warning: icon_default.tga: missing"), std::string::npos) << check.out;
    EXPECT_EQ(check.out.find("warning", warning + 1), std::string::npos) << check.out;
}

TEST(PlayerFolderHelp, DescribesVerdictsAndFolders) {
    const ProcessEnd help = runPlughost({"check", "--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* words :
         {"Verdicts:", "Given a folder DIR", "legs offset", "plughost check models/players/sarge"}) {
        EXPECT_NE(help.out.find(words), std::string::npos) << words << "\n" << help.out;
    }
}

}  // namespace
