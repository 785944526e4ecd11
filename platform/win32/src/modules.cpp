// Loaded modules: their handles (load addresses), their files, and the resources each carries in
// its ".rsrc" section, found through the ELF section headers of the module's file.
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>

#include "byte_reader.h"
#include "win32_resources.h"

namespace win32 {
namespace {

using detail::ByteReader;

constexpr char kResourceSectionName[] = ".rsrc";
// Resource sections are a few kilobytes; anything near this is not one.
constexpr uint64_t kMaxResourceSectionSize = uint64_t{64} << 20;
constexpr size_t kElfIdentSize = 16;
constexpr bool kElf64 = sizeof(void*) == 8;
constexpr size_t kElfHeaderSize = kElf64 ? 64 : 52;
constexpr size_t kSectionHeaderSize = kElf64 ? 64 : 40;

struct LoadedSegment {
    uintptr_t start = 0;
    uintptr_t end = 0;
    bool readable = false;
};

struct LoadedModule {
    uintptr_t base = 0;  // where the image starts in memory: the module's handle
    uintptr_t bias = 0;  // added to the file's virtual addresses (dlpi_addr)
    std::string name;    // as the loader knows it; "" for the main program
    bool mainProgram = false;
    const void* programHeaders = nullptr;  // tells a reloaded module at the same address apart
    std::vector<LoadedSegment> segments;
};

int collectModule(dl_phdr_info* info, size_t, void* context) {
    auto& modules = *static_cast<std::vector<LoadedModule>*>(context);
    try {
        LoadedModule module;
        module.bias = static_cast<uintptr_t>(info->dlpi_addr);
        module.name = info->dlpi_name != nullptr ? info->dlpi_name : "";
        module.mainProgram = modules.empty();  // the loader lists the main program first
        module.programHeaders = info->dlpi_phdr;
        uintptr_t lowest = UINTPTR_MAX;
        for (size_t i = 0; i < info->dlpi_phnum; ++i) {
            const auto& header = info->dlpi_phdr[i];
            if (header.p_type != PT_LOAD) {
                continue;
            }
            const uintptr_t start = module.bias + static_cast<uintptr_t>(header.p_vaddr);
            module.segments.push_back(
                LoadedSegment{start, start + static_cast<uintptr_t>(header.p_memsz), (header.p_flags & PF_R) != 0});
            lowest = std::min(lowest, static_cast<uintptr_t>(header.p_vaddr));
        }
        if (module.segments.empty()) {
            return 0;
        }
        const uintptr_t pageMask = ~(static_cast<uintptr_t>(sysconf(_SC_PAGESIZE)) - 1);
        module.base = module.bias + (lowest & pageMask);
        modules.push_back(std::move(module));
    } catch (...) {
        return 1;
    }
    return 0;
}

std::vector<LoadedModule> loadedModules() {
    std::vector<LoadedModule> modules;
    dl_iterate_phdr(collectModule, &modules);
    return modules;
}

// The module loaded at `instance`; nullptr stands for the main program.
bool findModule(HINSTANCE instance, LoadedModule& found) {
    for (LoadedModule& module : loadedModules()) {
        const bool match =
            instance == nullptr ? module.mainProgram : module.base == reinterpret_cast<uintptr_t>(instance);
        if (match) {
            found = std::move(module);
            return true;
        }
    }
    return false;
}

std::string executablePath() {
    std::vector<char> buffer(4096);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return length > 0 ? std::string(buffer.data(), static_cast<size_t>(length)) : std::string();
}

std::string displayPath(const LoadedModule& module) { return module.mainProgram ? executablePath() : module.name; }

class File {
public:
    explicit File(const std::string& path) : descriptor_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~File() {
        if (descriptor_ >= 0) {
            close(descriptor_);
        }
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool isOpen() const { return descriptor_ >= 0; }
    uint64_t size() const {
        struct stat status {};
        return fstat(descriptor_, &status) == 0 && status.st_size > 0 ? static_cast<uint64_t>(status.st_size) : 0;
    }
    // Reads exactly `count` bytes at `offset`.
    bool read(uint64_t offset, size_t count, std::vector<uint8_t>& bytes) const {
        bytes.assign(count, 0);
        size_t done = 0;
        while (done < count) {
            const ssize_t got =
                pread(descriptor_, bytes.data() + done, count - done, static_cast<off_t>(offset + done));
            if (got <= 0) {
                return false;
            }
            done += static_cast<size_t>(got);
        }
        return true;
    }

private:
    int descriptor_;
};

uint64_t readAddress(ByteReader& reader) { return kElf64 ? reader.readU64() : reader.readU32(); }

struct SectionHeader {
    uint32_t name = 0;
    uint32_t type = 0;
    uint64_t flags = 0;
    uint64_t address = 0;
    uint64_t offset = 0;
    uint64_t size = 0;
    uint32_t link = 0;
};

SectionHeader readSectionHeader(ByteReader& reader) {
    SectionHeader header;
    header.name = reader.readU32();
    header.type = reader.readU32();
    header.flags = readAddress(reader);
    header.address = readAddress(reader);
    header.offset = readAddress(reader);
    header.size = readAddress(reader);
    header.link = reader.readU32();
    reader.readU32();     // sh_info
    readAddress(reader);  // sh_addralign
    readAddress(reader);  // sh_entsize
    return header;
}

bool fitsInFile(uint64_t offset, uint64_t count, uint64_t fileSize) {
    return offset <= fileSize && count <= fileSize - offset;
}

// Copies the module's ".rsrc" section from memory. Absent section: true with no bytes.
bool readResourceSection(const LoadedModule& module, std::vector<uint8_t>& bytes, std::string& error) {
    const File file(module.mainProgram ? std::string("/proc/self/exe") : module.name);
    if (!file.isOpen()) {
        error = "cannot open the module's file";
        return false;
    }
    const uint64_t fileSize = file.size();
    std::vector<uint8_t> headerBytes;
    if (fileSize < kElfHeaderSize || !file.read(0, kElfHeaderSize, headerBytes)) {
        error = "the module's file is too short for an ELF header";
        return false;
    }
    ByteReader header(headerBytes.data(), headerBytes.size());
    const ByteView ident = header.readBytes(kElfIdentSize);
    if (std::memcmp(ident.data, ELFMAG, SELFMAG) != 0 || ident.data[EI_CLASS] != (kElf64 ? ELFCLASS64 : ELFCLASS32) ||
        ident.data[EI_DATA] != ELFDATA2LSB) {
        error = "the module's file is not a little-endian ELF file of this machine's class";
        return false;
    }
    header.readU16();     // e_type
    header.readU16();     // e_machine
    header.readU32();     // e_version
    readAddress(header);  // e_entry
    readAddress(header);  // e_phoff
    const uint64_t sectionTableOffset = readAddress(header);
    header.readU32();  // e_flags
    header.readU16();  // e_ehsize
    header.readU16();  // e_phentsize
    header.readU16();  // e_phnum
    const size_t sectionHeaderSize = header.readU16();
    uint64_t sectionCount = header.readU16();
    uint32_t namesIndex = header.readU16();
    if (!header.ok()) {
        error = "ELF header: " + header.error();
        return false;
    }
    if (sectionTableOffset == 0) {
        return true;  // no section headers, so no resources to find
    }
    if (sectionHeaderSize != kSectionHeaderSize) {
        error = "unexpected ELF section header size";
        return false;
    }

    // Section 0 carries the real count and name-table index when they do not fit the header.
    std::vector<uint8_t> tableBytes;
    if (!fitsInFile(sectionTableOffset, kSectionHeaderSize, fileSize) ||
        !file.read(sectionTableOffset, kSectionHeaderSize, tableBytes)) {
        error = "ELF section table outside the file";
        return false;
    }
    ByteReader firstReader(tableBytes.data(), tableBytes.size());
    const SectionHeader first = readSectionHeader(firstReader);
    if (sectionCount == 0) {
        sectionCount = first.size;
    }
    if (namesIndex == SHN_XINDEX) {
        namesIndex = first.link;
    }
    if (sectionCount > fileSize / kSectionHeaderSize ||
        !fitsInFile(sectionTableOffset, sectionCount * kSectionHeaderSize, fileSize) ||
        !file.read(sectionTableOffset, static_cast<size_t>(sectionCount * kSectionHeaderSize), tableBytes)) {
        error = "ELF section table outside the file";
        return false;
    }
    ByteReader table(tableBytes.data(), tableBytes.size());
    std::vector<SectionHeader> sections;
    sections.reserve(static_cast<size_t>(sectionCount));
    for (uint64_t i = 0; i < sectionCount; ++i) {
        sections.push_back(readSectionHeader(table));
    }
    if (!table.ok() || namesIndex >= sections.size()) {
        error = "ELF section table is malformed";
        return false;
    }

    const SectionHeader& namesSection = sections[namesIndex];
    std::vector<uint8_t> names;
    if (namesSection.size > kMaxResourceSectionSize || !fitsInFile(namesSection.offset, namesSection.size, fileSize) ||
        !file.read(namesSection.offset, static_cast<size_t>(namesSection.size), names)) {
        error = "ELF section names outside the file";
        return false;
    }
    const size_t nameLength = sizeof(kResourceSectionName);  // with its terminator
    for (const SectionHeader& section : sections) {
        if (section.name >= names.size() || names.size() - section.name < nameLength ||
            std::memcmp(names.data() + section.name, kResourceSectionName, nameLength) != 0) {
            continue;
        }
        if ((section.flags & SHF_ALLOC) == 0 || section.type == SHT_NOBITS || section.size > kMaxResourceSectionSize) {
            error = "the .rsrc section is not loaded data";
            return false;
        }
        // The section must lie inside one readable loaded segment of this module.
        const uintptr_t start = module.bias + static_cast<uintptr_t>(section.address);
        const uintptr_t size = static_cast<uintptr_t>(section.size);
        const bool mapped =
            start >= module.bias &&
            std::any_of(module.segments.begin(), module.segments.end(), [&](const LoadedSegment& segment) {
                return segment.readable && start >= segment.start && start <= segment.end &&
                       size <= segment.end - start;
            });
        if (!mapped) {
            error = "the .rsrc section is not inside the loaded image";
            return false;
        }
        const auto* data = reinterpret_cast<const uint8_t*>(start);
        bytes.assign(data, data + size);
        return true;
    }
    return true;
}

struct CacheEntry {
    uintptr_t base = 0;
    std::string name;
    const void* programHeaders = nullptr;
    std::shared_ptr<const ModuleResources> resources;
};

std::mutex& cacheMutex() {
    static std::mutex mutex;
    return mutex;
}

std::vector<CacheEntry>& cache() {
    static std::vector<CacheEntry> entries;
    return entries;
}

bool sameIgnoringAsciiCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::shared_ptr<const ModuleResources> moduleResources(HINSTANCE instance) {
    LoadedModule module;
    if (!findModule(instance, module)) {
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(cacheMutex());
        for (const CacheEntry& entry : cache()) {
            if (entry.base == module.base && entry.name == module.name &&
                entry.programHeaders == module.programHeaders) {
                return entry.resources;
            }
        }
    }
    // The loader's lock is not held here, and the cache's lock is not held while reading files.
    auto resources = std::make_shared<ModuleResources>();
    resources->instance = reinterpret_cast<HINSTANCE>(module.base);
    resources->path = displayPath(module);
    std::string error;
    if (readResourceSection(module, resources->bytes, error)) {
        resources->index = parseResourceFile(ByteView{resources->bytes.data(), resources->bytes.size()});
    } else {
        resources->index.error = error;
    }
    std::lock_guard<std::mutex> lock(cacheMutex());
    auto& entries = cache();
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const CacheEntry& entry) { return entry.base == module.base; }),
                  entries.end());
    entries.push_back(CacheEntry{module.base, module.name, module.programHeaders, resources});
    return resources;
}

Parsed<DialogTemplate> loadDialogTemplate(HINSTANCE instance, int id) {
    Parsed<DialogTemplate> missing;
    const auto resources = moduleResources(instance);
    if (!resources) {
        missing.error = "no module is loaded at that handle";
        return missing;
    }
    const ResourceEntry* entry =
        id < 0 || id > 0xFFFF ? nullptr : resources->index.find(kResourceTypeDialog, static_cast<uint16_t>(id));
    if (entry == nullptr) {
        missing.error = "the module has no dialog " + std::to_string(id);
        return missing;
    }
    return parseDialogTemplate(entry->data);
}

Parsed<VersionInfo> readVersionInfo(HINSTANCE instance) {
    Parsed<VersionInfo> missing;
    const auto resources = moduleResources(instance);
    if (!resources) {
        missing.error = "no module is loaded at that handle";
        return missing;
    }
    for (const ResourceEntry& entry : resources->index.entries) {
        if (entry.type.isOrdinal(kResourceTypeVersion)) {
            return parseVersionInfo(entry.data);
        }
    }
    missing.error = "the module has no version block";
    return missing;
}

std::optional<std::string> loadString(HINSTANCE instance, UINT id) {
    const auto resources = moduleResources(instance);
    const UINT block = id / kStringsPerBlock + 1;
    if (!resources || block > 0xFFFF) {
        return std::nullopt;
    }
    const ResourceEntry* entry = resources->index.find(kResourceTypeString, static_cast<uint16_t>(block));
    if (entry == nullptr) {
        return std::nullopt;
    }
    const auto text = stringFromTableBlock(entry->data, id % kStringsPerBlock);
    if (!text || text->empty()) {
        return std::nullopt;
    }
    return ansiFromUtf16(*text);
}

HINSTANCE moduleHandleOf(const void* address) {
    const auto where = reinterpret_cast<uintptr_t>(address);
    for (const LoadedModule& module : loadedModules()) {
        for (const LoadedSegment& segment : module.segments) {
            if (where >= segment.start && where < segment.end) {
                return reinterpret_cast<HINSTANCE>(module.base);
            }
        }
    }
    return nullptr;
}

std::string moduleFileName(HINSTANCE instance) {
    LoadedModule module;
    return findModule(instance, module) ? displayPath(module) : std::string();
}

}  // namespace win32

using namespace win32;

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax) {
    if (buffer == nullptr || bufferMax <= 0) {
        return 0;
    }
    const auto text = loadString(instance, id);
    const size_t count = text ? std::min(text->size(), static_cast<size_t>(bufferMax) - 1) : 0;
    if (count != 0) {
        std::memcpy(buffer, text->data(), count);
    }
    buffer[count] = '\0';
    return static_cast<int>(count);
}

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    if (moduleName == nullptr) {
        LoadedModule module;
        return findModule(nullptr, module) ? reinterpret_cast<HMODULE>(module.base) : nullptr;
    }
    std::string wanted(moduleName);
    // Without an extension Win32 looks for a .dll; a trailing dot means "no extension".
    if (baseName(wanted).find('.') == std::string::npos) {
        wanted += ".dll";
    } else if (!wanted.empty() && wanted.back() == '.') {
        wanted.pop_back();
    }
    const bool withPath = wanted.find('/') != std::string::npos;
    for (const LoadedModule& module : loadedModules()) {
        const std::string path = displayPath(module);
        if (path.empty()) {
            continue;
        }
        const bool match = withPath ? path == wanted : sameIgnoringAsciiCase(baseName(path), wanted);
        if (match) {
            return reinterpret_cast<HMODULE>(module.base);
        }
    }
    return nullptr;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    if (fileName == nullptr || size == 0) {
        return 0;
    }
    const std::string path = moduleFileName(module);
    if (path.empty()) {
        fileName[0] = '\0';
        return 0;
    }
    // A path that does not fit is cut to size - 1 characters; the answer is then `size`.
    const size_t count = std::min(path.size(), static_cast<size_t>(size) - 1);
    std::memcpy(fileName, path.data(), count);
    fileName[count] = '\0';
    return path.size() < size ? static_cast<DWORD>(count) : size;
}
