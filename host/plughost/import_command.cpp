// plughost import: an MD3 or MD2 file imported through the importer plug-in into an empty scene,
// or read whole by the host (--all-frames), and every node it made listed.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include <animated_model.h>
#include <gltf_model_writer.h>
#include <model_scene.h>
#include <scene.h>
#include <scene_file.h>

#include "json_writer.h"
#include "session.h"

namespace host {

namespace {

struct NodeReport {
    std::string name;
    int vertices = 0;
    int faces = 0;
    int textureVertices = 0;
    Matrix3 transform;
    bool hasBounds = false;
    Box3 bounds;
};

NodeReport describe(SceneNode* node) {
    NodeReport report;
    report.name = node->name();
    report.transform = node->GetObjectTM(0);
    auto* object = dynamic_cast<TriObject*>(node->object());
    if (object != nullptr) {
        Mesh& mesh = object->GetMesh();
        report.vertices = mesh.getNumVerts();
        report.faces = mesh.getNumFaces();
        report.textureVertices = mesh.getNumTVerts();
        if (report.vertices > 0) {
            report.bounds = mesh.getBoundingBox(&report.transform);
            report.hasBounds = true;
        }
    }
    return report;
}

std::string jsonPoint(const Point3& p) {
    return "[" + jsonNumber(p.x) + ", " + jsonNumber(p.y) + ", " + jsonNumber(p.z) + "]";
}

void printJson(const std::vector<NodeReport>& reports) {
    std::printf("{\"nodes\": [");
    for (size_t i = 0; i < reports.size(); ++i) {
        const NodeReport& r = reports[i];
        const Point3 lo = r.hasBounds ? r.bounds.pmin : Point3();
        const Point3 hi = r.hasBounds ? r.bounds.pmax : Point3();
        std::printf(
            "%s\n  {\"name\": %s, \"vertices\": %d, \"faces\": %d, \"textureVertices\": %d, "
            "\"transform\": [%s, %s, %s, %s], \"bounds\": [%s, %s]}",
            i == 0 ? "" : ",", jsonString(r.name).c_str(), r.vertices, r.faces, r.textureVertices,
            jsonPoint(r.transform.GetRow(0)).c_str(), jsonPoint(r.transform.GetRow(1)).c_str(),
            jsonPoint(r.transform.GetRow(2)).c_str(), jsonPoint(r.transform.GetRow(3)).c_str(), jsonPoint(lo).c_str(),
            jsonPoint(hi).c_str());
    }
    std::printf("%s]}\n", reports.empty() ? "" : "\n");
}

void printText(const std::vector<NodeReport>& reports) {
    for (const NodeReport& r : reports) {
        std::printf("%s: %d vertices, %d faces, %d texture vertices\n", r.name.c_str(), r.vertices, r.faces,
                    r.textureVertices);
        for (int row = 0; row < 4; ++row) {
            const Point3 p = r.transform.GetRow(row);
            std::printf("  %s %10.4f %10.4f %10.4f\n",
                        row == 3 ? "origin" : (row == 0 ? "x axis" : (row == 1 ? "y axis" : "z axis")), p.x, p.y, p.z);
        }
        if (r.hasBounds) {
            std::printf("  bounds (%.4f, %.4f, %.4f) to (%.4f, %.4f, %.4f)\n", r.bounds.pmin.x, r.bounds.pmin.y,
                        r.bounds.pmin.z, r.bounds.pmax.x, r.bounds.pmax.y, r.bounds.pmax.z);
        }
    }
}

std::string extensionOf(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return "";
    }
    return path.substr(dot + 1);
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

void printReports(const std::vector<NodeReport>& reports, bool json) {
    if (json) {
        printJson(reports);
    } else {
        printText(reports);
    }
}

// --all-frames: the file read by the host through the format's readers, every frame kept. glTF
// holds the frames as morph targets and the tags' keys; other formats get frame 0.
int runImportAllFrames(const ImportRequest& request) {
    const std::string& input = request.input;
    const std::string& output = request.output;
    const modelfile::ModelReadResult read = modelfile::readAnimatedModelFile(input);
    if (!read.ok) {
        std::fprintf(stderr, "plughost import: '%s' is %s\n", input.c_str(), read.error.c_str());
        return kExitFailed;
    }
    for (const std::string& warning : read.warnings) {
        std::fprintf(stderr, "warning: %s: %s\n", input.c_str(), warning.c_str());
    }
    const modelfile::AnimatedModel& model = read.model;

    Scene scene;
    modelfile::addFrameNodes(model, 0, scene);
    std::vector<NodeReport> reports;
    for (SceneNode* node : scene.nodes()) {
        reports.push_back(describe(node));
    }
    printReports(reports, request.json);
    if (output.empty()) {
        return kExitOk;
    }

    const std::string extension = lowerCase(extensionOf(output));
    std::string error;
    std::vector<std::string> warnings;
    bool saved = false;
    const bool gltf = extension == "gltf" || extension == "glb";
    if (gltf) {
        modelfile::GltfModelOptions options;
        options.binary = extension == "glb";
        options.framesPerSecond = request.framesPerSecond;
        options.animationName = std::filesystem::path(input).stem().string();
        saved = modelfile::writeGltfModel(model, output, options, error, warnings);
    } else {
        saved = saveSceneFile(scene, output, error);
    }
    for (const std::string& warning : warnings) {
        std::fprintf(stderr, "warning: %s: %s\n", output.c_str(), warning.c_str());
    }
    if (!saved) {
        std::fprintf(stderr, "plughost import: cannot save '%s': %s\n", output.c_str(), error.c_str());
        return kExitFailed;
    }
    if (!gltf && model.frameCount > 1) {
        std::fprintf(stderr, "note: %s keeps no animation: frame 0 of %d was saved (.glb or .gltf keep them all)\n",
                     output.c_str(), model.frameCount);
    }
    if (!request.json) {
        if (gltf && model.frameCount > 1) {
            const std::string rate = request.framesPerSecond == kDefaultFrameRate
                                         ? std::string()
                                         : " --fps " + std::to_string(request.framesPerSecond);
            std::printf(
                "saved %s: %d frames at %d frames per second (plughost export it back with%s --from 0 --to %d)\n",
                output.c_str(), model.frameCount, request.framesPerSecond, rate.c_str(), model.frameCount - 1);
        } else {
            std::printf("saved %s\n", output.c_str());
        }
    }
    return kExitOk;
}

}  // namespace

int runImport(const CommonOptions& common, const ImportRequest& request) {
    const std::string& input = request.input;
    const std::string& output = request.output;
    const bool json = request.json;
    if (!inputOpens("import", "", input)) {
        return kExitUsage;
    }
    if (!output.empty() && sameFile(input, output)) {
        std::fprintf(stderr, "plughost import: the output '%s' is the imported file itself; give another OUT\n",
                     output.c_str());
        return kExitUsage;
    }
    // Saving would replace a folder, or wait on a pipe for a reader that never comes.
    if (!output.empty() && existsButNotRegularFile(output)) {
        std::fprintf(stderr, "plughost import: cannot save '%s': it is not a regular file\n", output.c_str());
        return kExitFailed;
    }

    if (request.allFrames) {
        return runImportAllFrames(request);
    }

    Session session(common);
    session.reportLoadErrors("import");
    // The host offers the importer that lists the file's extension; the importer itself goes by
    // the file's magic, so any MD3/MD2 importer will do for other names.
    std::unique_ptr<ImportPluginInterface> importer(session.plugins().createImporter(extensionOf(input)));
    if (importer == nullptr) {
        importer.reset(session.plugins().createImporter("MD3"));
    }
    if (importer == nullptr) {
        std::fprintf(stderr, "plughost import: no loaded plug-in imports MD3 or MD2 files\n");
        return kExitFailed;
    }

    Scene scene;
    ImportInterface importInterface(scene);
    HostInterface hostInterface;
    const int result = importer->DoImport(input.c_str(), &importInterface, &hostInterface, TRUE);
    importer.reset();

    std::vector<NodeReport> reports;
    for (SceneNode* node : importInterface.addedNodes()) {
        reports.push_back(describe(node));
    }
    printReports(reports, json);
    if (result != 1) {
        std::fprintf(stderr, "plughost import: '%s' is not an MD3 or MD2 file this importer can read%s\n",
                     input.c_str(), reports.empty() ? "" : " (the nodes above were made before it stopped)");
        return kExitFailed;
    }
    if (!output.empty()) {
        std::string error;
        if (!saveSceneFile(scene, output, error)) {
            std::fprintf(stderr, "plughost import: cannot save '%s': %s; nothing was written\n", output.c_str(),
                         error.c_str());
            return kExitFailed;
        }
        if (!json) {
            std::printf("saved %s\n", output.c_str());
        }
    }
    return kExitOk;
}

}  // namespace host
