// The host's plug-in loader: finds plug-in modules in a folder, loads each as the Windows loader
// would (entry point called on attach and before unload), checks its version before anything
// else, and creates export and import objects through its class descriptor.
#ifndef HOST_LOADER_PLUGIN_LOADER_H
#define HOST_LOADER_PLUGIN_LOADER_H

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <max.h>

namespace host {

class PluginModule {
public:
    // Loads a module; null with a message in error when it is not a usable plug-in.
    static std::unique_ptr<PluginModule> load(const std::string& path, std::string& error);
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    const std::string& path() const { return path_; }
    std::string fileName() const;
    HINSTANCE instance() const { return instance_; }
    ULONG version() const { return version_; }
    // LibDescription, copied when the module was loaded (empty when it answered null).
    const std::string& description() const { return description_; }
    int classCount() const { return classCount_; }
    // LibClassDesc(0), kept for as long as the module is loaded.
    ClassDesc* descriptor() const { return descriptor_; }

private:
    PluginModule() = default;
    using EntryPoint = BOOL (*)(HINSTANCE, ULONG, LPVOID);

    std::string path_;
    void* handle_ = nullptr;
    HINSTANCE instance_ = nullptr;
    EntryPoint entryPoint_ = nullptr;
    ULONG version_ = 0;
    std::string description_;
    int classCount_ = 0;
    ClassDesc* descriptor_ = nullptr;
};

class PluginCatalogue {
public:
    // The folder the host looks in: PLUGHOST_PLUGINS when set, else the program's own folder.
    static std::string defaultFolder();

    // Loads every *.dle and *.dli module of the folder, in name order. Modules that fail to load
    // are reported in errors() and skipped.
    void loadFolder(const std::string& folder);
    // Loads one module; false (and an entry in errors()) when it is not a usable plug-in.
    bool loadModule(const std::string& path);

    const std::vector<std::unique_ptr<PluginModule>>& modules() const { return modules_; }
    const std::vector<std::string>& errors() const { return errors_; }

    // A new export object of a module whose descriptor has the export superclass and whose
    // object lists the extension (case-insensitive); null when there is none. The caller deletes it.
    ExportPluginInterface* createExporter(const std::string& extension) const;
    ImportPluginInterface* createImporter(const std::string& extension) const;

private:
    std::vector<std::unique_ptr<PluginModule>> modules_;
    std::vector<std::string> errors_;
};

// Whether an export or import object lists an extension, compared without regard to case.
bool listsExtension(int count, const std::function<const TCHAR*(int)>& extensionAt, const std::string& extension);

}  // namespace host

#endif
