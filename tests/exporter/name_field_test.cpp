// Name fields: the model name, surface names, shader names and tag names each hold at most 63
// characters and a zero inside the published 64 bytes, however long the name given; names cut
// to fit are named in one warning, and the file passes the format's own limits.
#include <sys/stat.h>

#include <modelformat/md3_format.h>
#include <modelformat/model_limits.h>

#include "export_harness.h"

using modelformat::kMd3MaxNameLength;

namespace {

constexpr size_t kFieldBytes = 64;  // the published layout's name field

// Where each name field of a file with one surface (with its shader) and one tag lies.
struct FieldPlaces {
    size_t model = 8;
    size_t surface = 0;
    size_t shader = 0;
    size_t tag = 0;
};

FieldPlaces placesOf(const std::vector<uint8_t>& bytes) {
    FieldPlaces places;
    places.tag = static_cast<size_t>(int32At(bytes, modelformat::kMd3HeaderTagsOffsetAt));
    places.surface = static_cast<size_t>(int32At(bytes, modelformat::kMd3HeaderSurfacesOffsetAt)) + 4;
    places.shader = places.surface - 4 + static_cast<size_t>(modelformat::kMd3SurfaceHeaderSize);
    return places;
}

// The field's text up to its first zero, and whether the bytes from that zero to the end of the
// field and of the word after it (for 68-byte fields) are all zero.
std::string fieldText(const std::vector<uint8_t>& bytes, size_t at, size_t width, bool& zeroFilled) {
    std::string text;
    size_t i = 0;
    while (i < width && bytes.at(at + i) != 0) {
        text += static_cast<char>(bytes[at + i]);
        ++i;
    }
    zeroFilled = i < kFieldBytes;
    for (; i < width; ++i) {
        zeroFilled = zeroFilled && bytes.at(at + i) == 0;
    }
    return text;
}

class NameFieldTest : public ExporterTest {
protected:
    // A long output folder (without "models" in it) for long model names.
    std::string outputIn(size_t pathLength) {
        std::string folder = directory() + "/";
        while (folder.size() + 20 < pathLength) {
            folder += std::string(std::min<size_t>(100, pathLength - folder.size() - 20), 'p') + "/";
            mkdir(folder.c_str(), 0755);
        }
        return folder + std::string(pathLength - folder.size() - 4, 'f') + ".md3";
    }

    struct Written {
        int result = 0;
        std::vector<uint8_t> bytes;
    };
    Written exportTo(host::Scene& scene, const std::string& path) {
        Md3FileWriter writer;
        Written written;
        written.result = writer.writeFile(path.c_str(), scene.exportContext(), &hostInterface, TRUE, 0);
        written.bytes = readFileBytes(path);
        return written;
    }
};

}  // namespace

// Each kind of name at the lengths around the field's size, and the texts the fields then hold.
TEST_F(NameFieldTest, EveryNameFieldKeepsAZeroAfterAtMost63Characters) {
    exportOptions.smartPaths = false;
    exportOptions.relativeToTag = false;
    for (size_t length : {10u, 63u, 64u, 65u, 68u, 69u, 127u, 300u}) {
        SCOPED_TRACE(length);
        const std::string surfaceName(length, 's');
        const std::string tagName = "tag_" + std::string(length - 4, 't');
        const std::string texture = std::string(length - 4, 'h') + ".tga";
        host::Scene scene;
        host::SceneNode* box = addBox(scene, surfaceName, Point3(0.0f, 0.0f, 0.0f));
        giveTexture(scene, box, texture);
        addTag(scene, tagName, Matrix3());
        const std::string path = outputIn(std::max<size_t>(length, 40));
        const Written written = exportTo(scene, path);
        ASSERT_EQ(written.result, 1);

        const FieldPlaces places = placesOf(written.bytes);
        const struct {
            const char* what;
            size_t at;
            size_t width;
            std::string given;
        } fields[] = {
            {"model", places.model, modelformat::kMd3ModelNameLength, path},
            {"surface", places.surface, modelformat::kMd3SurfaceNameLength, surfaceName},
            // The map name is first cut to 127 characters, as the host's copy takes it.
            {"shader", places.shader, modelformat::kMd3ShaderNameLength, texture.substr(0, 127)},
            {"tag", places.tag, modelformat::kMd3TagNameLength, tagName},
        };
        for (const auto& field : fields) {
            bool zeroFilled = false;
            EXPECT_EQ(fieldText(written.bytes, field.at, field.width, zeroFilled),
                      field.given.substr(0, kMd3MaxNameLength))
                << field.what;
            EXPECT_TRUE(zeroFilled) << field.what;
        }
        // The file reads back, and its names pass the format's own limits.
        const modelformat::Md3ReadResult read = modelformat::readMd3(written.bytes);
        ASSERT_TRUE(read.ok) << read.message;
        EXPECT_TRUE(modelformat::checkMd3Limits(read.model).empty());
        EXPECT_EQ(read.model.surfaces.at(0).header.name, surfaceName.substr(0, kMd3MaxNameLength));
    }
}

// One warning for the whole export, naming what was cut, and only with warnings shown; names
// that fit raise none.
TEST_F(NameFieldTest, NamesCutToFitAreNamedInOneWarning) {
    exportOptions.relativeToTag = false;
    const std::string longSurface(70, 'a');
    const std::string longTag = "tag_" + std::string(80, 'b');
    struct Case {
        bool longNames;
        bool showWarnings;
        size_t boxes;
    };
    for (const Case& c : {Case{true, true, 1}, Case{true, false, 0}, Case{false, true, 0}}) {
        host::Scene scene;
        addBox(scene, c.longNames ? longSurface : "body", Point3(0.0f, 0.0f, 0.0f));
        for (int i = 0; i < 5; ++i) {
            addTag(scene, (c.longNames ? longTag : "tag_") + std::to_string(i), Matrix3());
        }
        giveTexture(scene, scene.findNode(c.longNames ? longSurface : "body"), "models/skin.tga");
        exportOptions.showWarnings = c.showWarnings;
        setFrames(0, 2);
        desktop.messageBoxes.clear();
        const std::string path = c.longNames ? outputIn(90) : outputPath();
        const Written written = exportTo(scene, path);
        ASSERT_EQ(written.result, 1);
        // The surface's mapping warning is not about names.
        size_t nameBoxes = 0;
        for (const auto& box : desktop.messageBoxes) {
            if (box.caption != "Long Names") {
                continue;
            }
            ++nameBoxes;
            // The model name, 5 tags and the surface, each once however many frames, in the order
            // written: 7, of which the first 4 are listed.
            EXPECT_EQ(box.text.rfind("7 names were longer than the 63 characters an MD3 name holds", 0), 0u)
                << box.text;
            EXPECT_NE(box.text.find("\nmodel name '" + path + "'\n"), std::string::npos) << box.text;
            EXPECT_NE(box.text.find("\ntag '" + longTag + "2'\n"), std::string::npos) << box.text;
            EXPECT_EQ(box.text.find("tag '" + longTag + "3'"), std::string::npos) << box.text;
            EXPECT_EQ(box.text.find("surface '"), std::string::npos) << box.text;
            EXPECT_NE(box.text.find("\nand 3 more."), std::string::npos) << box.text;
        }
        EXPECT_EQ(nameBoxes, c.boxes) << c.longNames << c.showWarnings;
    }
}
