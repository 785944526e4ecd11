// The exporter's settings: one record that lives as long as the module is loaded.
#ifndef BRINDLARK_EXPORT_OPTIONS_H
#define BRINDLARK_EXPORT_OPTIONS_H

#include <cstdint>
#include <list>
#include <string>

struct ExportOptions {
    int32_t startFrame = 0;     // first frame to export
    int32_t endFrame = 0;       // last frame; endFrame - startFrame + 1 frames are exported
    int32_t ticksPerFrame = 0;  // host ticks per frame at the time of the export
    bool relativeToTag = true;  // tags and vertices relative to "tag_torso", else "tag_head"
    bool smartPaths = true;     // written paths start at their first "models"
    bool ignoreBip = true;      // leave out nodes whose name begins with "Bip"
    bool useNamePrefixes = false;
    bool useTagList = false;
    bool showWarnings = false;
    int32_t selectedOnly = 0;             // bit 0 of the export's options word
    std::list<std::string> namePrefixes;  // ordinary objects must start with one of these
    std::list<std::string> tagNames;      // tags must equal one of these
};

// The module's one settings record (defined with the module's other static objects).
extern ExportOptions exportOptions;

#endif
