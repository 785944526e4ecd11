// plughost export --fit-limits, --lod, --strict and --player on scenes built in the test: what
// the written files hold, read back through the format's reader, and what check says of them.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <animation_config.h>
#include <modelformat/md3_reader.h>
#include <scratch_folder.h>
#include <skin_file.h>

#include "gltf_builder.h"

#include "plughost_process.h"

namespace {

using host::player::Animation;

using plughosttest::CommandRun;
using plughosttest::plughost;

std::string text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

modelformat::Md3Model readModel(const std::string& path) {
    const std::string bytes = text(path);
    const modelformat::Md3ReadResult read =
        modelformat::readMd3(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    EXPECT_TRUE(read.ok) << path << ": " << read.message;
    return read.model;
}

int triangleCount(const modelformat::Md3Model& model) {
    int triangles = 0;
    for (const modelformat::Md3Surface& surface : model.surfaces) {
        triangles += surface.header.triangleCount;
    }
    return triangles;
}

// Each triangle of a frame as its three stored positions and texture coordinates, corners in
// order from the lowest; the surfaces together.
using Corner = std::array<float, 5>;
using Triangle = std::array<Corner, 3>;
std::multiset<Triangle> frameTriangles(const modelformat::Md3Model& model, int32_t frame) {
    std::multiset<Triangle> triangles;
    for (const modelformat::Md3Surface& surface : model.surfaces) {
        const modelformat::Md3Vertex* vertices = surface.frameVertices(frame);
        for (const modelformat::Md3Triangle& t : surface.triangles) {
            Triangle triangle;
            for (size_t c = 0; c < 3; ++c) {
                const auto i = static_cast<size_t>(t.indices[c]);
                triangle[c] = {static_cast<float>(vertices[i].x), static_cast<float>(vertices[i].y),
                               static_cast<float>(vertices[i].z), surface.texCoords[i].s, surface.texCoords[i].t};
            }
            std::rotate(triangle.begin(), std::min_element(triangle.begin(), triangle.end()), triangle.end());
            triangles.insert(triangle);
        }
    }
    return triangles;
}

// A textured, waving sheet of n x n quads in one node "body" (n = 40: 1681 vertices and 3200
// triangles, over both of the game's limits), its morph target played from 0 to 1 second.
std::string writeSheet(const std::string& path, int n) {
    scenetest::GltfBuilder gltf;
    std::vector<float> positions;
    std::vector<float> wave;
    std::vector<float> uvs;
    const auto corner = [&](int i, int j) {
        const float x = static_cast<float>(i) / static_cast<float>(n);
        const float y = static_cast<float>(j) / static_cast<float>(n);
        positions.insert(positions.end(), {x * 10.0f, std::sin(x * 12.0f) * std::cos(y * 12.0f), y * 10.0f});
        wave.insert(wave.end(), {0.0f, x * 2.0f, 0.0f});
        uvs.insert(uvs.end(), {x, y});
    };
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            for (const auto& [a, b] :
                 {std::pair{i, j}, {i + 1, j + 1}, {i + 1, j}, {i, j}, {i, j + 1}, {i + 1, j + 1}}) {
                corner(a, b);
            }
        }
    }
    const int mesh = gltf.mesh(positions, {wave});
    gltf.useMaterial(mesh, gltf.material("skin", gltf.image({'x'}, "", "image/png", false)), uvs);
    const int body = gltf.node({{"name", "body"}, {"mesh", mesh}});
    gltf.node({{"name", "tag_flag"}, {"translation", {0.0, 1.0, 0.0}}});
    gltf.channel(body, "weights", {0.0f, 1.0f}, {0.0f, 1.0f});
    scenetest::GltfBuilder::Json document = gltf.document();
    document["images"][0] = {{"uri", "models/mapobjects/sheet/skin.tga"}};
    std::ofstream(path) << document.dump();
    return path;
}

class ModelArrangement : public ::testing::Test {
protected:
    std::string file(const std::string& name) const { return "'" + scratch_.file(name) + "'"; }
    std::string path(const std::string& name) const { return scratch_.file(name); }
    testsupport::ScratchFolder scratch_;
};

TEST_F(ModelArrangement, SurfacesOverTheLimitsAreCutWithEveryTriangleOfEveryFrameKept) {
    writeSheet(path("sheet.gltf"), 40);
    const CommandRun whole = plughost("export " + file("sheet.gltf") + " " + file("whole.md3") + " --from 0 --to 10");
    EXPECT_EQ(whole.status, 0) << whole.out;
    EXPECT_NE(whole.out.find("--fit-limits"), std::string::npos) << "the flag is suggested:\n" << whole.out;
    const CommandRun strict =
        plughost("export " + file("sheet.gltf") + " " + file("strict.md3") + " --from 0 --to 10 --strict");
    EXPECT_EQ(strict.status, 1) << strict.out;
    // --strict keeps the file: the same model (its name field holds its own path).
    EXPECT_EQ(text(path("strict.md3")).size(), text(path("whole.md3")).size());
    EXPECT_EQ(triangleCount(readModel(path("strict.md3"))), 3200);
    EXPECT_NE(plughost("check " + file("whole.md3")).status, 0);

    const CommandRun fit =
        plughost("export " + file("sheet.gltf") + " " + file("fit.md3") + " --from 0 --to 10 --fit-limits --strict");
    ASSERT_EQ(fit.status, 0) << fit.out;
    EXPECT_EQ(plughost("check " + file("fit.md3")).status, 0);
    const modelformat::Md3Model before = readModel(path("whole.md3"));
    const modelformat::Md3Model after = readModel(path("fit.md3"));
    ASSERT_EQ(before.header.frameCount, 11);
    ASSERT_EQ(after.header.frameCount, 11);
    ASSERT_GE(after.surfaces.size(), 2u);
    for (size_t s = 0; s < after.surfaces.size(); ++s) {
        const modelformat::Md3Surface& surface = after.surfaces[s];
        EXPECT_EQ(surface.header.name, s == 0 ? "body" : "body_" + std::to_string(s));
        EXPECT_LT(surface.header.vertexCount, 1000);
        EXPECT_LE(surface.header.triangleCount, 1999);
        ASSERT_EQ(surface.shaders.size(), 1u);
        EXPECT_EQ(surface.shaders[0].name, "models/mapobjects/sheet/skin.tga");
    }
    EXPECT_EQ(triangleCount(after), 3200);
    for (int32_t frame = 0; frame < 11; frame += 5) {
        EXPECT_EQ(frameTriangles(after, frame), frameTriangles(before, frame)) << "frame " << frame;
    }
    EXPECT_EQ(after.header.tagCount, 1);
}

TEST_F(ModelArrangement, LevelsOfDetailHalveTheTrianglesAndKeepFramesTagsAndShaders) {
    writeSheet(path("sheet.gltf"), 40);
    const CommandRun run = plughost("export " + file("sheet.gltf") + " " + file("sheet.md3") +
                                    " --from 2 --to 9 --lod 2 --fit-limits --strict");
    ASSERT_EQ(run.status, 0) << run.out;
    int previous = triangleCount(readModel(path("sheet.md3")));
    for (const char* level : {"sheet_1.md3", "sheet_2.md3"}) {
        EXPECT_EQ(plughost("check " + file(level)).status, 0) << level;
        const modelformat::Md3Model model = readModel(path(level));
        EXPECT_EQ(model.header.frameCount, 8) << level;
        ASSERT_EQ(model.header.tagCount, 1) << level;
        EXPECT_EQ(model.tag(0, 0).name, "tag_flag");
        const int triangles = triangleCount(model);
        EXPECT_LE(triangles, previous * 6 / 10) << level;
        EXPECT_GE(triangles, previous * 4 / 10) << level;
        for (const modelformat::Md3Surface& surface : model.surfaces) {
            ASSERT_EQ(surface.shaders.size(), 1u);
            EXPECT_EQ(surface.shaders[0].name, "models/mapobjects/sheet/skin.tga");
        }
        previous = triangles;
    }
}

// A player of three boxes l_legs, u_torso, h_head with tag_torso, tag_head and tag_weapon, and
// animations named after the game's (some in other cases), one that is not, keyed at 30 per second.
struct ClipKeys {
    const char* name;
    int node;     // 0 legs, 1 torso, 2 tag_torso
    int lastKey;  // the last key's frame at 30 per second: lastKey + 1 frames
};
const ClipKeys kClips[] = {
    {"BOTH_DEATH1", 2, 9}, {"torso_gesture", 1, 4}, {"LEGS_WALK", 0, 7}, {"legs_idle", 0, 5}, {"wave", 1, 3}};

std::string writePlayer(const std::string& path, bool withHeadTag = true) {
    scenetest::GltfBuilder gltf;
    const auto box = [&](const std::string& name, float height, float base) {
        std::vector<float> positions;
        std::vector<float> uvs;
        const float corners[8][3] = {{-0.2f, 0, -0.2f}, {0.2f, 0, -0.2f}, {0.2f, 0, 0.2f}, {-0.2f, 0, 0.2f},
                                     {-0.2f, 1, -0.2f}, {0.2f, 1, -0.2f}, {0.2f, 1, 0.2f}, {-0.2f, 1, 0.2f}};
        const int faces[12][3] = {{0, 1, 2}, {0, 2, 3}, {4, 6, 5}, {4, 7, 6}, {0, 5, 1}, {0, 4, 5},
                                  {1, 6, 2}, {1, 5, 6}, {2, 7, 3}, {2, 6, 7}, {3, 4, 0}, {3, 7, 4}};
        for (const auto& face : faces) {
            for (int c = 0; c < 3; ++c) {
                const float* p = corners[face[c]];
                positions.insert(positions.end(), {p[0], p[1] * height, p[2]});
                uvs.insert(uvs.end(), {c == 1 ? 1.0f : 0.0f, c == 2 ? 1.0f : 0.0f});
            }
        }
        const int mesh = gltf.mesh(positions);
        gltf.useMaterial(mesh, gltf.material(name, gltf.image({'x'}, "", "image/png", false)), uvs);
        return gltf.node({{"name", name}, {"mesh", mesh}, {"translation", {0.0, base, 0.0}}});
    };
    const int legs = box("l_legs", 0.9f, 0.0f);
    const int torso = box("u_torso", 0.6f, 0.9f);
    box("h_head", 0.3f, 1.5f);
    const int tagTorso = gltf.node({{"name", "tag_torso"}, {"translation", {0.0, 0.9, 0.0}}});
    if (withHeadTag) {
        gltf.node({{"name", "tag_head"}, {"translation", {0.0, 1.5, 0.0}}});
    }
    gltf.node({{"name", "tag_weapon"}, {"translation", {0.3, 1.2, 0.2}}});
    const int nodes[] = {legs, torso, tagTorso};
    const double bases[] = {0.0, 0.9, 0.9};
    for (size_t c = 0; c < std::size(kClips); ++c) {
        const float end = static_cast<float>(kClips[c].lastKey) / 30.0f;
        const auto base = static_cast<float>(bases[kClips[c].node]);
        gltf.channel(nodes[kClips[c].node], "translation", {0.0f, end}, {0.0f, base, 0.0f, 0.3f, base, 0.0f}, c);
        gltf.nameAnimation(c, kClips[c].name);
    }
    scenetest::GltfBuilder::Json document = gltf.document();
    const char* textures[] = {"legs", "body", "head"};
    for (size_t i = 0; i < 3; ++i) {
        document["images"][i] = {{"uri", std::string("models/players/boxer/") + textures[i] + ".tga"}};
    }
    std::ofstream(path) << document.dump();
    return path;
}

bool isIdentity(const modelformat::Md3TagRecord& tag) {
    const float expected[4][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const modelformat::Md3Vec3 rows[4] = {tag.origin, tag.axes[0], tag.axes[1], tag.axes[2]};
    for (int r = 0; r < 4; ++r) {
        if (std::fabs(rows[r].x - expected[r][0]) > 1e-4f || std::fabs(rows[r].y - expected[r][1]) > 1e-4f ||
            std::fabs(rows[r].z - expected[r][2]) > 1e-4f) {
            return false;
        }
    }
    return true;
}

std::vector<std::string> tagNames(const modelformat::Md3Model& model) {
    std::vector<std::string> names;
    for (int32_t t = 0; t < model.header.tagCount; ++t) {
        names.push_back(model.tag(0, t).name);
    }
    return names;
}

TEST_F(ModelArrangement, APlayerFolderHoldsItsPartsTagsAnimationsAndSkins) {
    writePlayer(path("boxer.gltf"));
    const std::string folder = path("boxer");
    const CommandRun run = plughost("export " + file("boxer.gltf") + " --player " + file("boxer") + " --strict");
    ASSERT_EQ(run.status, 0) << run.out;

    // Frames: BOTH_DEATH1 10; torso: TORSO_GESTURE 5; legs: LEGS_WALK 8, LEGS_IDLE 6.
    const modelformat::Md3Model lower = readModel(folder + "/lower.md3");
    const modelformat::Md3Model upper = readModel(folder + "/upper.md3");
    const modelformat::Md3Model head = readModel(folder + "/head.md3");
    EXPECT_EQ(lower.header.frameCount, 10 + 8 + 6);
    EXPECT_EQ(upper.header.frameCount, 10 + 5);
    EXPECT_EQ(head.header.frameCount, 1);
    EXPECT_EQ(tagNames(lower), (std::vector<std::string>{"tag_torso"}));
    EXPECT_EQ(tagNames(upper), (std::vector<std::string>{"tag_torso", "tag_head", "tag_weapon"}));
    EXPECT_EQ(tagNames(head), (std::vector<std::string>{"tag_head"}));
    ASSERT_EQ(lower.surfaces.size(), 1u);
    EXPECT_EQ(lower.surfaces[0].header.name, "l_legs");
    ASSERT_EQ(upper.surfaces.size(), 1u);
    EXPECT_EQ(upper.surfaces[0].header.name, "u_torso");
    // Each part in its own space: upper relative to tag_torso, head to tag_head, lower in the
    // model's, where tag_torso stands at the waist (0.9 m up, turned into the game's Z-up frame).
    for (int32_t frame = 0; frame < upper.header.frameCount; ++frame) {
        EXPECT_TRUE(isIdentity(upper.tag(frame, 0))) << "frame " << frame;
    }
    EXPECT_TRUE(isIdentity(head.tag(0, 0)));
    EXPECT_NEAR(lower.tag(0, 0).origin.z, 0.9f, 1e-4f);
    // BOTH_DEATH1 moves tag_torso by 0.3 along x over its 10 frames, in lower.md3's first frames.
    EXPECT_NEAR(lower.tag(9, 0).origin.x - lower.tag(0, 0).origin.x, 0.3f, 1e-3f);

    host::player::AnimationConfig config;
    std::string error;
    ASSERT_TRUE(host::player::parseAnimationConfig(text(folder + "/animation.cfg"), config, error)) << error;
    const auto row = [&config](Animation a) { return config.rows[static_cast<size_t>(a)]; };
    EXPECT_EQ(row(Animation::BothDeath1), (host::player::AnimationRow{0, 10, 0, 30}));
    EXPECT_EQ(row(Animation::BothDead1), (host::player::AnimationRow{9, 1, 0, 30}));
    EXPECT_EQ(row(Animation::TorsoGesture), (host::player::AnimationRow{10, 5, 0, 30}));
    // Legs rows follow the torso's 5 frames; the game takes them back off to index lower.md3.
    EXPECT_EQ(host::player::legsOffset(config), 5);
    EXPECT_EQ(row(Animation::LegsWalk), (host::player::AnimationRow{10 + 5, 8, 8, 30}));
    EXPECT_EQ(row(Animation::LegsIdle), (host::player::AnimationRow{18 + 5, 6, 6, 30}));
    for (size_t a = 0; a < host::player::kAnimationCount; ++a) {
        const host::player::AnimationRow& r = config.rows[a];
        const Animation animation = host::player::animationAt(a);
        const int inFile = host::player::isLegs(animation) ? r.first - host::player::legsOffset(config) : r.first;
        const int frames = host::player::isLegs(animation) ? lower.header.frameCount : upper.header.frameCount;
        EXPECT_GE(inFile, 0) << host::player::animationName(animation);
        EXPECT_LE(inFile + r.count, frames) << host::player::animationName(animation);
    }

    const std::map<std::string, std::vector<host::player::SkinEntry>> skins = {
        {"lower", {{"l_legs", "models/players/boxer/legs.tga"}, {"tag_torso", ""}}},
        {"upper",
         {{"u_torso", "models/players/boxer/body.tga"}, {"tag_torso", ""}, {"tag_head", ""}, {"tag_weapon", ""}}},
        {"head", {{"h_head", "models/players/boxer/head.tga"}, {"tag_head", ""}}},
    };
    for (const auto& [part, expected] : skins) {
        std::vector<host::player::SkinEntry> entries;
        ASSERT_TRUE(host::player::parseSkin(text(folder + "/" + part + "_default.skin"), entries, error)) << error;
        EXPECT_EQ(entries, expected) << part;
    }

    // The game refuses a player without its icon: a grey 64 x 64 TGA stands in, and the folder
    // passes without a word about the icon; a modeller's own icon is kept on the next export.
    const std::string icon = text(folder + "/icon_default.tga");
    ASSERT_EQ(icon.size(), 18u + 64u * 64u * 3u);
    EXPECT_EQ(icon[2], 2);                                 // uncompressed true colour
    EXPECT_EQ(static_cast<unsigned char>(icon[12]), 64u);  // width
    EXPECT_EQ(static_cast<unsigned char>(icon[14]), 64u);  // height
    EXPECT_EQ(icon[16], 24);                               // bits per pixel
    EXPECT_NE(run.out.find("placeholder"), std::string::npos) << run.out;
    const CommandRun check = plughost("check " + file("boxer"));
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_EQ(check.out.find("icon"), std::string::npos) << check.out;
    std::ofstream(folder + "/icon_default.tga", std::ios::trunc) << "mine";
    const CommandRun again = plughost("export " + file("boxer.gltf") + " --player " + file("boxer"));
    ASSERT_EQ(again.status, 0) << again.out;
    EXPECT_EQ(text(folder + "/icon_default.tga"), "mine");
    EXPECT_EQ(again.out.find("placeholder"), std::string::npos) << again.out;
}

TEST_F(ModelArrangement, APlayerWithoutNamedAnimationsPlaysTheExportedFramesInEveryRow) {
    writePlayer(path("boxer.gltf"));
    // The boxer with its one animation that is not a game's ("wave"), unnamed.
    scenetest::GltfBuilder::Json document = scenetest::GltfBuilder::Json::parse(text(path("boxer.gltf")));
    document["animations"] = scenetest::GltfBuilder::Json::array({document["animations"][4]});
    document["animations"][0].erase("name");
    std::ofstream(path("still.gltf")) << document.dump();
    const CommandRun run = plughost("export " + file("still.gltf") + " --player " + file("still") + " --from 0 --to 3");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("no animations named after the game's"), std::string::npos) << run.out;
    host::player::AnimationConfig config;
    std::string error;
    ASSERT_TRUE(host::player::parseAnimationConfig(text(path("still/animation.cfg")), config, error)) << error;
    for (size_t a = 0; a < host::player::kAnimationCount; ++a) {
        const bool loops = host::player::gameLoops(host::player::animationAt(a));
        EXPECT_EQ(config.rows[a], (host::player::AnimationRow{0, 4, loops ? 4 : 0, 30})) << a;
    }
    EXPECT_EQ(readModel(path("still/lower.md3")).header.frameCount, 4);
    EXPECT_EQ(readModel(path("still/head.md3")).header.frameCount, 1);
}

TEST_F(ModelArrangement, PartsMayBeGroupNodesNamedLowerUpperAndHead) {
    writePlayer(path("boxer.gltf"));
    // The same player with its meshes renamed and put under group nodes (tag_weapon under upper).
    scenetest::GltfBuilder::Json document = scenetest::GltfBuilder::Json::parse(text(path("boxer.gltf")));
    scenetest::GltfBuilder::Json& nodes = document["nodes"];
    std::map<std::string, int> index;
    for (size_t n = 0; n < nodes.size(); ++n) {
        index[nodes[n]["name"].get<std::string>()] = static_cast<int>(n);
    }
    const std::pair<const char*, std::vector<std::string>> groups[] = {
        {"lower", {"l_legs"}}, {"upper", {"u_torso", "tag_weapon"}}, {"head", {"h_head"}}};
    std::set<int> grouped;
    for (const auto& [group, members] : groups) {
        scenetest::GltfBuilder::Json node = {{"name", group}, {"children", scenetest::GltfBuilder::Json::array()}};
        for (const std::string& member : members) {
            node["children"].push_back(index[member]);
            grouped.insert(index[member]);
            // "legs", "torso", "head": no prefix left to tell the part.
            if (member.compare(0, 4, "tag_") != 0) {
                nodes[static_cast<size_t>(index[member])]["name"] = member.substr(2);
            }
        }
        nodes.push_back(node);
    }
    document["scenes"][0]["nodes"] = scenetest::GltfBuilder::Json::array();
    for (size_t n = 0; n < nodes.size(); ++n) {
        if (grouped.count(static_cast<int>(n)) == 0) {
            document["scenes"][0]["nodes"].push_back(n);
        }
    }
    std::ofstream(path("grouped.gltf")) << document.dump();
    const CommandRun run = plughost("export " + file("grouped.gltf") + " --player " + file("grouped"));
    ASSERT_EQ(run.status, 0) << run.out;
    const std::pair<const char*, const char*> parts[] = {{"lower", "legs"}, {"upper", "torso"}, {"head", "head"}};
    for (const auto& [part, surface] : parts) {
        const modelformat::Md3Model model = readModel(path("grouped/") + part + ".md3");
        ASSERT_EQ(model.surfaces.size(), 1u) << part << " (a group node is no surface)";
        EXPECT_EQ(model.surfaces[0].header.name, surface) << part;
    }
    EXPECT_EQ(tagNames(readModel(path("grouped/upper.md3"))),
              (std::vector<std::string>{"tag_torso", "tag_head", "tag_weapon"}));
}

TEST_F(ModelArrangement, APlayerWithoutAPartOrAJoiningTagIsRefused) {
    writeSheet(path("sheet.gltf"), 4);
    const CommandRun noParts = plughost("export " + file("sheet.gltf") + " --player " + file("sheet"));
    EXPECT_EQ(noParts.status, 1) << noParts.out;
    EXPECT_NE(noParts.out.find("no lower part"), std::string::npos) << noParts.out;
    writePlayer(path("headless.gltf"), false);
    const CommandRun noHeadTag = plughost("export " + file("headless.gltf") + " --player " + file("headless"));
    EXPECT_EQ(noHeadTag.status, 1) << noHeadTag.out;
    EXPECT_NE(noHeadTag.out.find("no tag_head"), std::string::npos) << noHeadTag.out;
    const CommandRun both = plughost("export " + file("headless.gltf") + " out.md3 --player " + file("headless"));
    EXPECT_EQ(both.status, 2) << both.out;
}

// A player whose parts are keyed as separate objects, each by an action named after the game's
// (tests/scenefile/data/blender/make_player_takes.py): l_legs by LEGS_WALK (20 degrees about x at
// frame 5 and back, about its centre 0.5 m up), u_torso by TORSO_GESTURE (30 degrees about z by
// frame 10), tag_torso by LEGS_WALK_tag; frames 0 to 10 at 30 per second. Blender's default FBX
// bakes every action on every keyed object as takes "OBJECT|ACTION"; its .glb holds one animation
// per action. Both give the same player folder, at the game's size (--scale 40).
constexpr float kPlayerScale = 40.0f;

std::string blenderPlayer(const std::string& extension) {
    return std::string("'") + QMP_SCENE_DATA_DIR + "/blender/player_takes." + extension + "'";
}

// The turn about the axis (0 x, 2 z) through the point (in metres) that takes each vertex of a
// frame to the same vertex of another, in degrees, measured on the vertex farthest from the axis.
double turnBetween(const modelformat::Md3Surface& surface, int from, int to, int axis, std::array<double, 3> centre) {
    const int u = axis == 0 ? 1 : 0;
    const int w = axis == 0 ? 2 : 1;
    double farthest = -1.0;
    double turn = 0.0;
    for (int v = 0; v < surface.header.vertexCount; ++v) {
        const modelformat::Md3Vertex& a = surface.frameVertices(from)[v];
        const modelformat::Md3Vertex& b = surface.frameVertices(to)[v];
        const double pa[3] = {a.x / 64.0, a.y / 64.0, a.z / 64.0};
        const double pb[3] = {b.x / 64.0, b.y / 64.0, b.z / 64.0};
        const double au = pa[u] - centre[u] * kPlayerScale;
        const double aw = pa[w] - centre[w] * kPlayerScale;
        const double bu = pb[u] - centre[u] * kPlayerScale;
        const double bw = pb[w] - centre[w] * kPlayerScale;
        if (std::hypot(au, aw) > farthest) {
            farthest = std::hypot(au, aw);
            turn = std::remainder(std::atan2(bw, bu) - std::atan2(aw, au), 2 * M_PI) * 180.0 / M_PI;
        }
    }
    return turn;
}

// Every vertex of a frame of one surface has a vertex of the other's frame with its texture
// coordinate within one step of 1/64 (the files order their vertices differently).
::testing::AssertionResult sameVertices(const modelformat::Md3Surface& a, const modelformat::Md3Surface& b,
                                        int32_t frame) {
    for (int v = 0; v < a.header.vertexCount; ++v) {
        const modelformat::Md3Vertex& p = a.frameVertices(frame)[v];
        const modelformat::Md3TexCoord& uv = a.texCoords[static_cast<size_t>(v)];
        bool found = false;
        for (int w = 0; w < b.header.vertexCount && !found; ++w) {
            const modelformat::Md3Vertex& q = b.frameVertices(frame)[w];
            const modelformat::Md3TexCoord& other = b.texCoords[static_cast<size_t>(w)];
            found = std::fabs(uv.s - other.s) < 1e-4f && std::fabs(uv.t - other.t) < 1e-4f &&
                    std::max({std::abs(p.x - q.x), std::abs(p.y - q.y), std::abs(p.z - q.z)}) <= 1;
        }
        if (!found) {
            return ::testing::AssertionFailure() << "vertex " << v << " of frame " << frame << " has no match";
        }
    }
    return ::testing::AssertionSuccess();
}

TEST_F(ModelArrangement, BlendersFbxTakesGiveThePlayerItsGlbGives) {
    std::map<std::string, std::map<std::string, modelformat::Md3Model>> players;
    for (const char* extension : {"fbx", "glb"}) {
        const std::string folder = std::string("hero_") + extension;
        const CommandRun run =
            plughost("export " + blenderPlayer(extension) + " --scale 40 --player " + file(folder) + " --strict");
        ASSERT_EQ(run.status, 0) << run.out;
        if (std::string(extension) == "fbx") {
            // Each clip plays the takes of its action's own object; the other objects stay put.
            EXPECT_NE(run.out.find("the action \"LEGS_WALK\" plays its takes 0 \"l_legs|LEGS_WALK\";"),
                      std::string::npos)
                << run.out;
            EXPECT_NE(run.out.find("the action \"TORSO_GESTURE\" plays its takes 5 \"u_torso|TORSO_GESTURE\";"),
                      std::string::npos)
                << run.out;
        }
        const CommandRun check = plughost("check " + file(folder));
        EXPECT_EQ(check.status, 0) << check.out;

        host::player::AnimationConfig config;
        std::string error;
        ASSERT_TRUE(host::player::parseAnimationConfig(text(path(folder + "/animation.cfg")), config, error)) << error;
        const auto row = [&config](Animation a) { return config.rows[static_cast<size_t>(a)]; };
        // Frames 0 to 10 of each: the torso's 11, then the legs' numbered after them.
        EXPECT_EQ(row(Animation::TorsoGesture), (host::player::AnimationRow{0, 11, 0, 30})) << extension;
        EXPECT_EQ(row(Animation::LegsWalk), (host::player::AnimationRow{11, 11, 11, 30})) << extension;
        for (const char* part : {"lower", "upper", "head"}) {
            players[extension][part] = readModel(path(folder + "/" + part + ".md3"));
        }
        const modelformat::Md3Model& lower = players[extension]["lower"];
        const modelformat::Md3Model& upper = players[extension]["upper"];
        ASSERT_EQ(lower.header.frameCount, 11) << extension;
        ASSERT_EQ(upper.header.frameCount, 11) << extension;
        ASSERT_EQ(lower.surfaces.size(), 1u);
        ASSERT_EQ(upper.surfaces.size(), 1u);
        // The legs swing about their centre and back; the torso turns relative to tag_torso,
        // which LEGS_WALK and TORSO_GESTURE leave where it stands.
        EXPECT_NEAR(turnBetween(lower.surfaces[0], 0, 5, 0, {0, 0, 0.5}), 20.0, 0.5) << extension;
        EXPECT_NEAR(turnBetween(lower.surfaces[0], 0, 10, 0, {0, 0, 0.5}), 0.0, 0.5) << extension;
        EXPECT_NEAR(turnBetween(upper.surfaces[0], 0, 10, 2, {0, 0, 0}), 30.0, 0.5) << extension;
        // tag_torso holds its own action's first key (1 m up), as the glTF's node stands.
        for (int32_t frame = 0; frame < lower.header.frameCount; ++frame) {
            EXPECT_NEAR(lower.tag(frame, 0).origin.z, 1.0f * kPlayerScale, 1e-3f) << extension << " frame " << frame;
            EXPECT_TRUE(isIdentity(upper.tag(frame, 0))) << extension << " frame " << frame;
        }
    }
    // Frame for frame the same files (the model name, the file's own path, aside).
    for (const char* part : {"lower", "upper", "head"}) {
        const modelformat::Md3Model& fbx = players["fbx"][part];
        const modelformat::Md3Model& glb = players["glb"][part];
        ASSERT_EQ(fbx.header.frameCount, glb.header.frameCount) << part;
        ASSERT_EQ(fbx.surfaces.size(), glb.surfaces.size()) << part;
        for (int32_t frame = 0; frame < fbx.header.frameCount; ++frame) {
            for (size_t s = 0; s < fbx.surfaces.size(); ++s) {
                ASSERT_EQ(fbx.surfaces[s].header.vertexCount, glb.surfaces[s].header.vertexCount) << part;
                EXPECT_TRUE(sameVertices(fbx.surfaces[s], glb.surfaces[s], frame)) << part;
                EXPECT_TRUE(sameVertices(glb.surfaces[s], fbx.surfaces[s], frame)) << part;
            }
            for (int32_t t = 0; t < fbx.header.tagCount; ++t) {
                EXPECT_NEAR(fbx.tag(frame, t).origin.z, glb.tag(frame, t).origin.z, 1e-3f) << part << frame;
            }
        }
    }
}

}  // namespace
