// Loading plug-in modules with dlopen, as the host's loader does on Windows.
#include "plugin_loader.h"

#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace host {

namespace {

template <typename Function>
Function symbol(void* handle, const char* name) {
    return reinterpret_cast<Function>(dlsym(handle, name));
}

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

std::unique_ptr<PluginModule> PluginModule::load(const std::string& path, std::string& error) {
    std::unique_ptr<PluginModule> module(new PluginModule());
    module->path_ = path;
    module->handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module->handle_ == nullptr) {
        const char* reason = dlerror();
        error = path + ": cannot be loaded (" + (reason != nullptr ? reason : "unknown reason") + ")";
        return nullptr;
    }
    module->entryPoint_ = symbol<EntryPoint>(module->handle_, "DllMain");
    const auto libVersion = symbol<ULONG (*)()>(module->handle_, "LibVersion");
    const auto libNumberClasses = symbol<int (*)()>(module->handle_, "LibNumberClasses");
    const auto libClassDesc = symbol<ClassDesc* (*)(int)>(module->handle_, "LibClassDesc");
    const auto libDescription = symbol<const TCHAR* (*)()>(module->handle_, "LibDescription");
    if (module->entryPoint_ == nullptr || libVersion == nullptr || libNumberClasses == nullptr ||
        libClassDesc == nullptr || libDescription == nullptr) {
        error = path + ": not a plug-in module (it lacks the entry point or a library function)";
        return nullptr;  // the destructor unloads it without calling an entry point it lacks
    }

    // The instance handle is the module's load address, as on Windows.
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(module->entryPoint_), &info) == 0 || info.dli_fbase == nullptr) {
        error = path + ": cannot find where the module is loaded";
        module->entryPoint_ = nullptr;
        return nullptr;
    }
    module->instance_ = static_cast<HINSTANCE>(info.dli_fbase);
    if (!module->entryPoint_(module->instance_, DLL_PROCESS_ATTACH, nullptr)) {
        error = path + ": its entry point refused to attach";
        module->entryPoint_ = nullptr;
        return nullptr;
    }

    module->version_ = libVersion();
    if (module->version_ != static_cast<ULONG>(VERSION_3DSMAX)) {
        char text[64];
        std::snprintf(text, sizeof text, "0x%08X, not 0x%08X", module->version_, static_cast<ULONG>(VERSION_3DSMAX));
        error = path + ": built for another host version (" + text + ")";
        return nullptr;
    }
    module->classCount_ = libNumberClasses();
    module->descriptor_ = module->classCount_ > 0 ? libClassDesc(0) : nullptr;
    if (module->descriptor_ == nullptr) {
        error = path + ": has no class descriptor";
        return nullptr;
    }
    const TCHAR* description = libDescription();
    module->description_ = description != nullptr ? description : "";
    return module;
}

PluginModule::~PluginModule() {
    if (entryPoint_ != nullptr) {
        entryPoint_(instance_, DLL_PROCESS_DETACH, nullptr);
    }
    if (handle_ != nullptr) {
        dlclose(handle_);
    }
}

std::string PluginModule::fileName() const {
    const size_t slash = path_.find_last_of('/');
    return slash == std::string::npos ? path_ : path_.substr(slash + 1);
}

std::string PluginCatalogue::defaultFolder() {
    if (const char* folder = std::getenv("PLUGHOST_PLUGINS"); folder != nullptr && *folder != '\0') {
        return folder;
    }
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return ".";
    }
    std::string path(self, static_cast<size_t>(length));
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

bool PluginCatalogue::loadModule(const std::string& path) {
    std::string error;
    std::unique_ptr<PluginModule> module = PluginModule::load(path, error);
    if (module == nullptr) {
        errors_.push_back(error);
        return false;
    }
    modules_.push_back(std::move(module));
    return true;
}

void PluginCatalogue::loadFolder(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        errors_.push_back(folder + ": cannot read the plug-in folder (" + std::strerror(errno) + ")");
        return;
    }
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        const std::string lower = lowercase(name);
        if (endsWith(lower, ".dle") || endsWith(lower, ".dli")) {
            names.push_back(name);
        }
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        loadModule(folder + "/" + name);
    }
}

bool listsExtension(int count, const std::function<const TCHAR*(int)>& extensionAt, const std::string& extension) {
    const std::string wanted = lowercase(extension);
    for (int i = 0; i < count; ++i) {
        const TCHAR* listed = extensionAt(i);
        if (listed != nullptr && lowercase(listed) == wanted) {
            return true;
        }
    }
    return false;
}

ExportPluginInterface* PluginCatalogue::createExporter(const std::string& extension) const {
    for (const auto& module : modules_) {
        if (module->descriptor()->SuperClassID() != SCENE_EXPORT_CLASS_ID) {
            continue;
        }
        auto* exporter = static_cast<ExportPluginInterface*>(module->descriptor()->Create(FALSE));
        if (exporter == nullptr) {
            continue;
        }
        if (listsExtension(
                exporter->ExtCount(), [exporter](int i) { return exporter->Ext(i); }, extension)) {
            return exporter;
        }
        delete exporter;
    }
    return nullptr;
}

ImportPluginInterface* PluginCatalogue::createImporter(const std::string& extension) const {
    for (const auto& module : modules_) {
        if (module->descriptor()->SuperClassID() != SCENE_IMPORT_CLASS_ID) {
            continue;
        }
        auto* importer = static_cast<ImportPluginInterface*>(module->descriptor()->Create(FALSE));
        if (importer == nullptr) {
            continue;
        }
        if (listsExtension(
                importer->ExtCount(), [importer](int i) { return importer->Ext(i); }, extension)) {
            return importer;
        }
        delete importer;
    }
    return nullptr;
}

}  // namespace host
