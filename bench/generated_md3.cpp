// A large MD3 written by the exporter from a scene built in code.
#include "generated_md3.h"

#include <cmath>
#include <cstdio>

#include <export_options.h>
#include <md3_file_writer.h>
#include <mesh_builders.h>
#include <plugin_module.h>
#include <scene.h>

#include "bench_support.h"

namespace bench {

void attachExporter() {
    static const bool attached = DllMain(GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH, nullptr) != FALSE;
    (void)attached;
}

const std::string& generatedMd3Path() {
    static const std::string path = [] {
        attachExporter();
        SetFrameRate(30);
        host::Scene scene;
        for (int s = 0; s < 5; ++s) {
            const float phase = static_cast<float>(s);
            host::SceneNode* node = scene.addNode("part_" + std::to_string(s));
            node->setDeformingMesh([phase](TimeValue time, Mesh& mesh) {
                const float t = static_cast<float>(time) / 4800.0f;
                mesh = host::makeCylinder(Point3(0.0f, 0.0f, 0.0f), 4.0f, 20.0f, 20, 17, [t, phase](const Point3& p) {
                    return Point3(p.x + std::sin(3.0f * t + phase + p.z * 0.2f) * 2.0f, p.y, p.z);
                });
            });
        }
        for (const char* name : {"tag_torso", "tag_head", "tag_weapon"}) {
            host::SceneNode* tag = scene.addNode(name);
            tag->setMesh(host::makeTagMarker());
            tag->setTransformTrack([](TimeValue time) {
                return TransMatrix(Point3(0.0f, 0.0f, 20.0f + std::sin(static_cast<float>(time) / 1600.0f)));
            });
        }
        exportOptions = ExportOptions();
        exportOptions.ticksPerFrame = GetTicksPerFrame();
        exportOptions.endFrame = kGeneratedMd3Frames - 1;
        host::HostInterface hostInterface;
        std::string written = scratchFolder() + "/player.md3";
        Md3FileWriter writer;
        if (writer.writeFile(written.c_str(), scene.exportContext(), &hostInterface, TRUE, 0) != 1) {
            std::fprintf(stderr, "bench: the generated MD3 could not be written\n");
        }
        return written;
    }();
    return path;
}

}  // namespace bench
