// plughost plugins: every loaded plug-in module with what it tells the host about itself.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <win32_resources.h>

#include "json_writer.h"
#include "session.h"

namespace host {

namespace {

std::string text(const TCHAR* value) { return value != nullptr ? value : ""; }

std::string hex(unsigned long value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08lX", value);
    return buffer;
}

struct ModuleReport {
    std::string file;
    std::string description;
    std::string className;
    std::string category;
    std::string internalName;
    std::string classId;
    std::string superClassId;
    std::vector<std::string> extensions;
    std::string longDescription;
    std::string shortDescription;
    std::string author;
    unsigned int version = 0;
    std::string libVersion;
    std::string fileVersion;
};

template <typename Plugin>
void describePlugin(Plugin* plugin, ModuleReport& report) {
    if (plugin == nullptr) {
        return;
    }
    for (int i = 0; i < plugin->ExtCount(); ++i) {
        report.extensions.push_back(text(plugin->Ext(i)));
    }
    report.longDescription = text(plugin->LongDesc());
    report.shortDescription = text(plugin->ShortDesc());
    report.author = text(plugin->AuthorName());
    report.version = plugin->Version();
}

ModuleReport describe(const PluginModule& module) {
    ModuleReport report;
    ClassDesc* descriptor = module.descriptor();
    report.file = module.fileName();
    report.description = module.description();
    // Texts from the string table share one buffer: copy each before the next.
    report.className = text(descriptor->ClassName());
    report.category = text(descriptor->Category());
    report.internalName = text(descriptor->InternalName());
    const Class_ID id = descriptor->ClassID();
    report.classId = hex(id.PartA()) + ", " + hex(id.PartB());
    report.superClassId = hex(descriptor->SuperClassID());
    report.libVersion = hex(module.version());
    if (descriptor->SuperClassID() == SCENE_EXPORT_CLASS_ID) {
        std::unique_ptr<ExportPluginInterface> plugin(static_cast<ExportPluginInterface*>(descriptor->Create(FALSE)));
        describePlugin(plugin.get(), report);
    } else if (descriptor->SuperClassID() == SCENE_IMPORT_CLASS_ID) {
        std::unique_ptr<ImportPluginInterface> plugin(static_cast<ImportPluginInterface*>(descriptor->Create(FALSE)));
        describePlugin(plugin.get(), report);
    }
    const auto version = win32::readVersionInfo(module.instance());
    if (version) {
        report.fileVersion = version.value->value("FileVersion");
    }
    return report;
}

void printJson(const std::vector<ModuleReport>& reports) {
    std::printf("[");
    for (size_t i = 0; i < reports.size(); ++i) {
        const ModuleReport& r = reports[i];
        std::string extensions;
        for (size_t e = 0; e < r.extensions.size(); ++e) {
            extensions += (e == 0 ? "" : ", ") + jsonString(r.extensions[e]);
        }
        std::printf(
            "%s\n  {\"file\": %s, \"description\": %s, \"className\": %s, \"category\": %s, "
            "\"internalName\": %s, \"classId\": %s, \"superClassId\": %s, \"extensions\": [%s], "
            "\"longDescription\": %s, \"shortDescription\": %s, \"author\": %s, \"version\": %u, "
            "\"libVersion\": %s, \"fileVersion\": %s}",
            i == 0 ? "" : ",", jsonString(r.file).c_str(), jsonString(r.description).c_str(),
            jsonString(r.className).c_str(), jsonString(r.category).c_str(), jsonString(r.internalName).c_str(),
            jsonString(r.classId).c_str(), jsonString(r.superClassId).c_str(), extensions.c_str(),
            jsonString(r.longDescription).c_str(), jsonString(r.shortDescription).c_str(), jsonString(r.author).c_str(),
            r.version, jsonString(r.libVersion).c_str(), jsonString(r.fileVersion).c_str());
    }
    std::printf("%s]\n", reports.empty() ? "" : "\n");
}

void printText(const std::vector<ModuleReport>& reports) {
    for (const ModuleReport& r : reports) {
        std::string extensions;
        for (size_t e = 0; e < r.extensions.size(); ++e) {
            extensions += (e == 0 ? "" : ", ") + r.extensions[e];
        }
        std::printf("%s: %s\n", r.file.c_str(), r.description.c_str());
        std::printf("  class        %s (%s), category %s\n", r.className.c_str(), r.internalName.c_str(),
                    r.category.c_str());
        std::printf("  identifiers  class %s, superclass %s\n", r.classId.c_str(), r.superClassId.c_str());
        std::printf("  extensions   %s\n", extensions.c_str());
        std::printf("  describes    %s (%s)\n", r.longDescription.c_str(), r.shortDescription.c_str());
        std::printf("  author       %s\n", r.author.c_str());
        std::printf("  version      %u, built for host %s, file version %s\n", r.version, r.libVersion.c_str(),
                    r.fileVersion.c_str());
    }
}

}  // namespace

int runPlugins(const CommonOptions& common, const PluginsRequest& request) {
    const bool json = request.json;
    Session session(common);
    const bool any = session.reportLoadErrors("plugins");
    std::vector<ModuleReport> reports;
    for (const auto& module : session.plugins().modules()) {
        reports.push_back(describe(*module));
    }
    if (json) {
        printJson(reports);
    } else {
        printText(reports);
    }
    return any ? kExitOk : kExitFailed;
}

}  // namespace host
