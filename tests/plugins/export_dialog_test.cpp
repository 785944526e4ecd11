// Whole exports through the loaded exporter: the options dialog worked by a scripted person,
// the time base without the dialog, and the progress window.
#include <commctrl.h>

#include <cmath>

#include <brindlark/resource_ids.h>

#include "plugin_harness.h"

namespace {

int checked(HWND dialog, int id) { return static_cast<int>(SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0)); }

// The frame each exported frame was sampled at: the marker tag sits at x = frame.
std::vector<int> sampledFrames(const modelformat::Md3Model& model) {
    std::vector<int> frames;
    for (int32_t f = 0; f < model.header.frameCount; ++f) {
        frames.push_back(static_cast<int>(std::lround(model.tag(f, 0).origin.x)));
    }
    return frames;
}

std::vector<std::string> surfaceNames(const modelformat::Md3Model& model) {
    std::vector<std::string> names;
    for (const modelformat::Md3Surface& surface : model.surfaces) {
        names.push_back(surface.header.name);
    }
    return names;
}

}  // namespace

TEST_F(PluginTest, TheDialogOpensInItsFixedStateAndItsSlidersSetTheRange) {
    host::Scene scene;
    buildCountingScene(scene);
    desktop.script = [](HWND dialog) {
        EXPECT_EQ(win32::dialogResourceId(dialog), IDD_OPTIONS);
        EXPECT_EQ(win32::windowText(dialog), "Brindlark beta 4 by Tallowby");
        EXPECT_EQ(checked(dialog, IDC_RELATIVE_TO_TAG), BST_CHECKED);
        EXPECT_EQ(checked(dialog, IDC_SMART_PATHS), BST_CHECKED);
        EXPECT_EQ(checked(dialog, IDC_IGNORE_BIP), BST_CHECKED);
        EXPECT_EQ(checked(dialog, IDC_USE_TAG_LIST), BST_UNCHECKED);
        EXPECT_EQ(checked(dialog, IDC_USE_NAME_PREFIXES), BST_UNCHECKED);
        EXPECT_EQ(checked(dialog, IDC_SHOW_WARNINGS), BST_CHECKED);
        EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_SLIDER_FROM, TBM_GETRANGEMAX, 0, 0), 400);
        EXPECT_EQ(win32::windowText(GetDlgItem(dialog, IDC_LABEL_FROM)), "From: 0");
        win32::user::dragTrackbar(dialog, IDC_SLIDER_FROM, 120);
        win32::user::dragTrackbar(dialog, IDC_SLIDER_TO, 30);
        EXPECT_EQ(win32::windowText(GetDlgItem(dialog, IDC_LABEL_FROM)), "From: 120");
        EXPECT_EQ(win32::windowText(GetDlgItem(dialog, IDC_LABEL_TO)), "To: 30");
        win32::user::click(dialog, IDC_EXPORT_NOW);
        return true;
    };
    ASSERT_EQ(exportScene(scene), 1);
    ASSERT_TRUE(written.ok) << written.message;
    ASSERT_EQ(written.model.header.frameCount, 91);
    const std::vector<int> frames = sampledFrames(written.model);
    EXPECT_EQ(frames.front(), 30);
    EXPECT_EQ(frames.back(), 120);

    // The range cannot leave 0 to 400.
    desktop.script = [](HWND dialog) {
        win32::user::dragTrackbar(dialog, IDC_SLIDER_FROM, 9999);
        win32::user::dragTrackbar(dialog, IDC_SLIDER_TO, -5);
        win32::user::click(dialog, IDC_EXPORT_NOW);
        return true;
    };
    ASSERT_EQ(exportScene(scene), 1);
    ASSERT_TRUE(written.ok) << written.message;
    EXPECT_EQ(written.model.header.frameCount, 401);
}

TEST_F(PluginTest, ExportNowAtOnceExportsFrameZeroEvenAfterAnotherRange) {
    host::Scene scene;
    buildCountingScene(scene);
    hostInterface.SetTime(50 * GetTicksPerFrame());
    desktop.script = [](HWND dialog) {
        win32::user::dragTrackbar(dialog, IDC_SLIDER_FROM, 10);
        win32::user::dragTrackbar(dialog, IDC_SLIDER_TO, 20);
        win32::user::click(dialog, IDC_EXPORT_NOW);
        return true;
    };
    ASSERT_EQ(exportScene(scene), 1);
    EXPECT_EQ(written.model.header.frameCount, 11);

    desktop.script = [](HWND dialog) {
        win32::user::click(dialog, IDC_EXPORT_NOW);
        return true;
    };
    ASSERT_EQ(exportScene(scene), 1);
    ASSERT_TRUE(written.ok) << written.message;
    EXPECT_EQ(sampledFrames(written.model), std::vector<int>{0});
}

TEST_F(PluginTest, EnterAndEscapeDoNotCloseTheDialog) {
    host::Scene scene;
    buildCountingScene(scene);
    int turns = 0;
    desktop.script = [&turns](HWND dialog) {
        ++turns;
        if (turns == 1) {
            win32::user::pressKey(dialog, VK_ESCAPE);
        } else if (turns == 2) {
            win32::user::pressKey(dialog, VK_RETURN);
        } else {
            win32::user::dragTrackbar(dialog, IDC_SLIDER_TO, 2);
            win32::user::click(dialog, IDC_EXPORT_NOW);
        }
        return true;
    };
    ASSERT_EQ(exportScene(scene), 1);
    EXPECT_EQ(turns, 3);
    EXPECT_EQ(written.model.header.frameCount, 3);
}

TEST_F(PluginTest, TypedNamesFilterAsTheyAreTyped) {
    struct Case {
        std::string prefixes;
        std::string tags;
        std::vector<std::string> surfaces;
        int tagCount;
    };
    const Case cases[] = {
        {"head", "", {"head", "headgear"}, 1},
        {"head,,legs", "tag_marker", {"head", "headgear", "legs"}, 1},
        {"head, legs", "tag_mark", {"head", "headgear"}, 0},  // " legs" keeps its blank
        {",,,", "", {}, 1},
        {std::string(126, 'x') + "legs", "", {}, 1},  // beyond 126 characters nothing is read
    };
    for (const Case& c : cases) {
        host::Scene scene;
        buildCountingScene(scene);
        desktop.script = [&c](HWND dialog) {
            win32::user::setChecked(dialog, IDC_USE_NAME_PREFIXES, true);
            win32::user::typeText(dialog, IDC_NAME_PREFIXES, c.prefixes);
            if (!c.tags.empty()) {
                win32::user::setChecked(dialog, IDC_USE_TAG_LIST, true);
                win32::user::typeText(dialog, IDC_TAG_NAMES, c.tags);
            }
            win32::user::click(dialog, IDC_EXPORT_NOW);
            return true;
        };
        ASSERT_EQ(exportScene(scene), 1) << c.prefixes;
        if (c.surfaces.empty() && c.tagCount == 0) {
            continue;
        }
        ASSERT_TRUE(written.ok) << c.prefixes << ": " << written.message;
        EXPECT_EQ(surfaceNames(written.model), c.surfaces) << c.prefixes;
        EXPECT_EQ(written.model.header.tagCount, c.tagCount) << c.prefixes;
    }
}

TEST_F(PluginTest, SwitchesReachTheFile) {
    host::Scene scene;
    buildCountingScene(scene);
    desktop.script = [](HWND dialog) {
        win32::user::setChecked(dialog, IDC_SMART_PATHS, false);
        win32::user::setChecked(dialog, IDC_IGNORE_BIP, false);
        win32::user::click(dialog, IDC_EXPORT_NOW);
        return true;
    };
    ASSERT_EQ(exportScene(scene), 1);
    ASSERT_TRUE(written.ok) << written.message;
    EXPECT_EQ(surfaceNames(written.model), (std::vector<std::string>{"head", "headgear", "legs", "Bip01"}));
    EXPECT_EQ(written.model.surfaces[0].shaders.at(0).name, "/q3/models/test/head.tga");
    EXPECT_EQ(written.model.header.modelName, outputPath().substr(0, modelformat::kMd3MaxNameLength));
}

TEST_F(PluginTest, WithoutPromptsTheCurrentFrameIsExported) {
    struct Case {
        TimeValue time;
        int frame;
    };
    const int tpf = GetTicksPerFrame();
    const Case cases[] = {{0, 0}, {7 * tpf, 7}, {7 * tpf + tpf / 2, 7}, {-(tpf + tpf / 2), -1}};
    for (const Case& c : cases) {
        host::Scene scene;
        buildCountingScene(scene);
        hostInterface.SetTime(c.time);
        desktop.personTurns = 0;
        ASSERT_EQ(exportScene(scene, TRUE), 1);
        EXPECT_EQ(desktop.personTurns, 0);  // no dialog
        ASSERT_TRUE(written.ok) << written.message;
        EXPECT_EQ(sampledFrames(written.model), std::vector<int>{c.frame}) << c.time;
    }
}

TEST_F(PluginTest, ProgressWindowComesAndGoesAndNoDataIsSaid) {
    host::Scene scene;
    buildCountingScene(scene);
    ASSERT_EQ(exportScene(scene, TRUE), 1);
    int progressShown = 0;
    for (const auto& shown : desktop.shown) {
        if (shown.resourceId == IDD_PROGRESS) {
            ++progressShown;
            EXPECT_EQ(shown.text, "Exporting...");
            EXPECT_FALSE(IsWindow(shown.window));  // destroyed again
        }
    }
    EXPECT_EQ(progressShown, 1);

    host::Scene empty;
    desktop.messageBoxes.clear();
    ASSERT_EQ(exportScene(empty, FALSE), 1);
    ASSERT_EQ(desktop.messageBoxes.size(), 1u);
    EXPECT_EQ(desktop.messageBoxes[0].text, "No Data to export.");
    EXPECT_EQ(desktop.messageBoxes[0].caption, "No Data");
}

TEST_F(PluginTest, SelectedOnlyExportsTheSelection) {
    host::Scene scene;
    buildCountingScene(scene);
    scene.findNode("legs")->setSelected(true);
    ASSERT_EQ(exportScene(scene, TRUE, SCENE_EXPORT_SELECTED), 1);
    ASSERT_TRUE(written.ok) << written.message;
    EXPECT_EQ(surfaceNames(written.model), std::vector<std::string>{"legs"});
    EXPECT_EQ(written.model.header.tagCount, 0);
}
