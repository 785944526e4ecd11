// animation.cfg and .skin files: the stock player's files read and written back equivalent, the
// writer's text read back equal, hostile text refused with the line it lies on, never a crash.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "animation_config.h"
#include "model_builders.h"
#include "sample_files.h"
#include "skin_file.h"

namespace {

using namespace host::player;

const std::string kSargeFolder = std::string(QMP_SAMPLES_DIR) + "/openarena-data/models/players/sarge/";

std::string loadText(const std::string& path) {
    const std::vector<uint8_t> bytes = testmodels::loadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

#define LOAD_SARGE_OR_SKIP(text, name)                                                        \
    const std::string text = loadText(kSargeFolder + (name));                                 \
    if ((text).empty())                                                                       \
    QMP_SAMPLE_MISSING() << "sample file " << kSargeFolder << (name) << " is not there (the " \
                         << "samples live beside the project, in shared/samples)"

TEST(AnimationConfigTest, StockFileReadsAndWritesBackInItsLayout) {
    LOAD_SARGE_OR_SKIP(stock, "animation.cfg");
    AnimationConfig config;
    std::string error;
    ASSERT_TRUE(parseAnimationConfig(stock, config, error)) << error;
    // Values read off the stock file by eye.
    EXPECT_EQ(config.sex, "m");
    EXPECT_FALSE(config.headOffset.has_value());
    EXPECT_TRUE(config.footsteps.empty());
    EXPECT_EQ(config.rows[0], (AnimationRow{0, 30, 0, 25}));
    EXPECT_EQ(config.rows[6], (AnimationRow{90, 40, 0, 13}));
    EXPECT_EQ(config.rows[13], (AnimationRow{153, 8, 8, 20}));
    EXPECT_EQ(config.rows[24], (AnimationRow{254, 7, 7, 18}));
    EXPECT_EQ(legsOffset(config), 153 - 90);

    // The writer lays the rows out line for line as the stock file does; the stock file's line
    // ends are CRLF and some rows carry a note after their name, which the writer leaves out.
    std::string expected = std::regex_replace(stock, std::regex("\r"), "");
    expected = std::regex_replace(expected, std::regex("\t+\\(MUST NOT CHANGE[^\n]*"), "");
    EXPECT_EQ(writeAnimationConfig(config), expected);
}

TEST(AnimationConfigTest, NamesAndKindsAgreeWithTheStockFile) {
    LOAD_SARGE_OR_SKIP(stock, "animation.cfg");
    AnimationConfig config;
    std::string error;
    ASSERT_TRUE(parseAnimationConfig(stock, config, error)) << error;
    std::vector<std::string> stockNames;
    const std::regex nameComment("// ([A-Z_0-9]+)");
    for (auto it = std::sregex_iterator(stock.begin(), stock.end(), nameComment); it != std::sregex_iterator(); ++it) {
        stockNames.push_back((*it)[1]);
    }
    ASSERT_EQ(stockNames.size(), kAnimationCount);
    for (size_t i = 0; i < kAnimationCount; ++i) {
        const Animation a = animationAt(i);
        SCOPED_TRACE(stockNames[i]);
        EXPECT_EQ(animationName(a), stockNames[i]);
        std::string lower = stockNames[i];
        for (char& c : lower) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        EXPECT_EQ(animationByName(lower), a);
        EXPECT_EQ(isLegs(a), stockNames[i].rfind("LEGS_", 0) == 0);
        EXPECT_EQ(isTorso(a), stockNames[i].rfind("TORSO_", 0) == 0);
        // The stock player loops exactly the animations the game loops.
        EXPECT_EQ(gameLoops(a), config.rows[i].looping > 0);
    }
    EXPECT_FALSE(animationByName("LEGS_WALKCRX").has_value());
    EXPECT_FALSE(animationByName("").has_value());
}

AnimationConfig richConfig() {
    AnimationConfig config;
    config.sex = "f";
    config.headOffset = std::array<double, 3>{-1.5, 0, 0.1};
    config.footsteps = "mech";
    config.fixedLegs = true;
    config.fixedTorso = true;
    for (size_t i = 0; i < kAnimationCount; ++i) {
        config.rows[i] = {static_cast<int>(7 * i), static_cast<int>(i % 5) + 1, static_cast<int>(i % 3),
                          12.5 + static_cast<double>(i) / 3.0};
    }
    config.rows[3].count = -4;  // played backwards
    return config;
}

TEST(AnimationConfigTest, WriterTextReadsBackEqual) {
    for (const AnimationConfig& config : {AnimationConfig{}, richConfig()}) {
        AnimationConfig back;
        std::string error;
        ASSERT_TRUE(parseAnimationConfig(writeAnimationConfig(config), back, error)) << error;
        EXPECT_EQ(back, config);
    }
    const std::string text = writeAnimationConfig(richConfig());
    EXPECT_NE(text.find("headoffset -1.5 0 0.1\nfootsteps mech\nfixedlegs\nfixedtorso\n"), std::string::npos);
    EXPECT_NE(text.find("\t12.5\t\t// BOTH_DEATH1\n"), std::string::npos);  // no trailing zeros
}

TEST(SkinTest, StockFilesReadAndWriteBackEquivalent) {
    struct StockSkin {
        const char* name;
        std::vector<SkinEntry> entries;  // read off the files by eye
    };
    const std::string texture = "models/players/grism/enkiskin.tga";
    const std::vector<StockSkin> skins = {
        {"head_default.skin", {{"h_head", texture}, {"tag_torso", ""}}},
        {"lower_default.skin", {{"l_legs", texture}, {"tag_torso", ""}}},
        {"upper_default.skin", {{"u_torso", texture}, {"tag_head", ""}, {"tag_weapon", ""}, {"tag_torso", ""}}},
    };
    for (const StockSkin& skin : skins) {
        SCOPED_TRACE(skin.name);
        LOAD_SARGE_OR_SKIP(stock, skin.name);
        std::vector<SkinEntry> entries;
        std::string error;
        ASSERT_TRUE(parseSkin(stock, entries, error)) << error;
        EXPECT_EQ(entries, skin.entries);
        std::vector<SkinEntry> back;
        ASSERT_TRUE(parseSkin(writeSkin(entries), back, error)) << error;
        EXPECT_EQ(back, entries);
    }
    EXPECT_EQ(writeSkin({{"u_torso", texture}, {"tag_head", ""}}), "u_torso," + texture + "\ntag_head,\n");
}

// A hand-made file with all 25 rows, row k (from 0) on line k + 3.
std::string validConfigText() {
    std::string text = "sex m\n\n";
    for (size_t i = 0; i < kAnimationCount; ++i) {
        text += std::to_string(10 * i) + " 10 0 15\n";
    }
    return text;
}

std::string withLine(std::string text, size_t number, const std::string& replacement) {
    size_t start = 0;
    for (size_t n = 1; n < number; ++n) {
        start = text.find('\n', start) + 1;
    }
    const size_t end = text.find('\n', start);
    return text.replace(start, end - start, replacement);
}

struct HostileText {
    const char* name;
    bool skin;  // a .skin, else an animation.cfg
    std::string text;
    const char* reasonStart;  // what the refusal must begin with
};

void PrintTo(const HostileText& hostile, std::ostream* out) { *out << hostile.name; }

class HostileTextTest : public testing::TestWithParam<HostileText> {};

TEST_P(HostileTextTest, RefusedWithItsLine) {
    const HostileText& hostile = GetParam();
    std::string error;
    bool accepted = false;
    if (hostile.skin) {
        std::vector<SkinEntry> entries = {{"kept", "x"}};
        accepted = parseSkin(hostile.text, entries, error);
        EXPECT_EQ(entries, (std::vector<SkinEntry>{{"kept", "x"}})) << "a refused file leaves the output alone";
    } else {
        AnimationConfig config;
        config.sex = "kept";
        accepted = parseAnimationConfig(hostile.text, config, error);
        EXPECT_EQ(config.sex, "kept") << "a refused file leaves the output alone";
    }
    EXPECT_FALSE(accepted);
    EXPECT_EQ(error.rfind(hostile.reasonStart, 0), 0u) << error;
}

const std::string kValid = validConfigText();

INSTANTIATE_TEST_SUITE_P(
    Player, HostileTextTest,
    testing::Values(
        HostileText{"ThreeNumbers", false, withLine(kValid, 5, "20 10 0"), "line 5: BOTH_DEATH2: a row holds four"},
        HostileText{"Letters", false, withLine(kValid, 9, "6O 10 0 15"), "line 9: TORSO_GESTURE: the first frame"},
        HostileText{"FractionalCount", false, withLine(kValid, 4, "10 2.5 0 15"),
                    "line 4: BOTH_DEAD1: the frame count"},
        HostileText{"Overflow", false, withLine(kValid, 4, "10 99999999999 0 15"), "line 4: BOTH_DEAD1: the frame"},
        HostileText{"PastTheCap", false, withLine(kValid, 4, "2000000 1 0 15"), "line 4: BOTH_DEAD1: a frame number"},
        HostileText{"NegativeFirst", false, withLine(kValid, 6, "-1 10 0 15"), "line 6: BOTH_DEAD2: the first frame"},
        HostileText{"NotANumberFps", false, withLine(kValid, 27, "240 10 0 nan"), "line 27: LEGS_TURN: the frames"},
        HostileText{"NegativeFps", false, withLine(kValid, 27, "240 10 0 -15"), "line 27: LEGS_TURN: the frames"},
        HostileText{"TooFewRows", false, withLine(kValid, 27, ""), "line 27: the file ends after 24 animation rows"},
        HostileText{"TooManyRows", false, kValid + "1 1 0 1\n", "line 28: a 26th animation row"},
        HostileText{"Empty", false, "", "line 1: the file ends after 0 animation rows"},
        HostileText{"KeywordAfterRows", false, kValid + "footsteps boot\n", "line 28: 'footsteps' after the"},
        HostileText{"UnknownKeyword", false, withLine(kValid, 1, "gender m"), "line 1: 'gender' is neither"},
        HostileText{"SexWithoutValue", false, withLine(kValid, 1, "sex"), "line 1: 'sex' takes one word"},
        HostileText{"ShortHeadOffset", false, withLine(kValid, 2, "headoffset 1 2"), "line 2: 'headoffset' takes"},
        HostileText{"WordHeadOffset", false, withLine(kValid, 2, "headoffset 1 y 2"), "line 2: the head offset 'y'"},
        HostileText{"NulByte", false, withLine(kValid, 7, std::string("40 10\0 0 15", 11)), "line 7: a control"},
        HostileText{"CrLfCounted", false, "sex m\r\n\r\nfoo\r\n", "line 3: 'foo' is neither"},
        HostileText{"SkinNoSurface", true, "h_head,a.tga\n ,b.tga\n", "line 2: no surface name"},
        HostileText{"SkinTwoCommas", true, "\r\nh_head,a.tga,b.tga\r\n", "line 2: more than one comma"},
        HostileText{"SkinControl", true, "h_head,a\x01.tga\n", "line 1: a control character"}),
    [](const testing::TestParamInfo<HostileText>& param) { return std::string(param.param.name); });

// Every truncation and many single-byte changes of the stock files: refused with a line, or read
// into something that writes and reads back the same.
TEST(PlayerTextMutationTest, StockFilesMutatedNeverCrash) {
    LOAD_SARGE_OR_SKIP(config, "animation.cfg");
    LOAD_SARGE_OR_SKIP(skin, "upper_default.skin");
    const char replacements[] = {'\0', '\n', '\r', '-', '9', 'x', ',', ' ', '/', '\xff'};
    size_t accepted = 0;
    size_t refused = 0;
    const auto tryText = [&](const std::string& text, bool isSkin) {
        std::string error;
        if (isSkin) {
            std::vector<SkinEntry> entries;
            std::vector<SkinEntry> back;
            if (parseSkin(text, entries, error)) {
                ++accepted;
                ASSERT_TRUE(parseSkin(writeSkin(entries), back, error)) << error;
                EXPECT_EQ(back, entries);
                return;
            }
        } else {
            AnimationConfig parsed;
            AnimationConfig back;
            if (parseAnimationConfig(text, parsed, error)) {
                ++accepted;
                ASSERT_TRUE(parseAnimationConfig(writeAnimationConfig(parsed), back, error)) << error;
                EXPECT_EQ(back, parsed);
                return;
            }
        }
        ++refused;
        EXPECT_EQ(error.rfind("line ", 0), 0u) << error;
    };
    for (const auto& [stock, isSkin] : {std::pair{config, false}, std::pair{skin, true}}) {
        for (size_t length = 0; length < stock.size(); ++length) {
            tryText(stock.substr(0, length), isSkin);
        }
        for (size_t at = 0; at < stock.size(); ++at) {
            for (char replacement : replacements) {
                std::string mutated = stock;
                mutated[at] = replacement;
                tryText(mutated, isSkin);
            }
        }
    }
    EXPECT_GT(accepted, 0u);
    EXPECT_GT(refused, 0u);
}

}  // namespace
