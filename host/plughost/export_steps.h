// The steps an export is made of, shared by the plain export and the player folder's: one pass
// through the exporter plug-in with its options dialog worked, and the files a request writes.
#ifndef HOST_PLUGHOST_EXPORT_STEPS_H
#define HOST_PLUGHOST_EXPORT_STEPS_H

#include <string>
#include <vector>

#include <scene.h>
#include <scene_file.h>

#include "command_line.h"
#include "session.h"

namespace host {

// The game's limits a written file breaks: any, and whether a surface is too large (which
// --fit-limits mends).
struct LimitsBroken {
    bool any = false;
    bool surfaceSize = false;
    void add(const LimitsBroken& other) {
        any = any || other.any;
        surfaceSize = surfaceSize || other.surfaceSize;
    }
};

struct ExportOutcome {
    int status = kExitOk;
    LimitsBroken broken;
};

// Exports the scene to output through the exporter plug-in, its options dialog worked with the
// choices, then prints what was written and warns of the limits it breaks.
ExportOutcome exportThroughDialog(Session& session, Scene& scene, const std::string& output,
                                  const DialogChoices& choices, const ExportRequest& request);

// OUT.md3's level of detail: OUT_1.md3, OUT_2.md3, ... (OUT_1 when the name has no .md3).
std::string detailLevelPath(const std::string& output, int level);

// The names of a player folder's models, in the order they are written.
const std::vector<std::string>& playerPartNames();

// Writes the player folder the request names from the loaded scene. firstTime is the first
// exported frame's time, whose triangles --fit-limits and --lod work on. Answers the exit status.
// The scene was loaded from scenePath with loadOptions (an empty path: the demo scene).
int runPlayerExport(Session& session, Scene& scene, const std::string& scenePath, const SceneLoadOptions& loadOptions,
                    const SceneLoadResult& loaded, TimeValue firstTime, const ExportRequest& request);

}  // namespace host

#endif
