// Compiled Win32 resources (.res): the parsers for resource files, dialog templates, string-table
// blocks and version blocks, and the lookup of a loaded module's resources by its instance handle.
#ifndef WIN32_STANDIN_WIN32_RESOURCES_H
#define WIN32_STANDIN_WIN32_RESOURCES_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "windows.h"

namespace win32 {

// Resource type ordinals.
constexpr uint16_t kResourceTypeDialog = 5;
constexpr uint16_t kResourceTypeString = 6;
constexpr uint16_t kResourceTypeVersion = 16;
// A string-table block holds 16 strings; block n + 1 holds the ids 16n .. 16n + 15.
constexpr unsigned kStringsPerBlock = 16;

// Bytes owned by someone else.
struct ByteView {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// A resource type or name, a dialog's menu or class, a control's class or title: absent, a 16-bit
// ordinal, or a string (held here in 8-bit form, see ansiFromUtf16).
struct WIN32_STANDIN_API ResourceName {
    enum class Kind { None, Ordinal, Name };
    Kind kind = Kind::None;
    uint16_t ordinal = 0;
    std::string name;

    static ResourceName fromOrdinal(uint16_t value);
    static ResourceName fromName(std::string value);
    bool isOrdinal(uint16_t value) const { return kind == Kind::Ordinal && ordinal == value; }
    // Compares names as Win32 does: ordinals by value, strings without regard to ASCII case.
    bool operator==(const ResourceName& other) const;
    bool operator!=(const ResourceName& other) const { return !(*this == other); }
};

// The result of a parse: the value, or the reason and the byte offset where reading failed.
template <typename T>
struct Parsed {
    std::optional<T> value;
    std::string error;
    size_t errorOffset = 0;

    explicit operator bool() const { return value.has_value(); }
    const T& operator*() const { return *value; }
    const T* operator->() const { return &*value; }
};

// One entry of a .res file. data views the parsed bytes.
struct ResourceEntry {
    ResourceName type;
    ResourceName name;
    uint32_t dataVersion = 0;
    uint16_t memoryFlags = 0;
    uint16_t languageId = 0;
    uint32_t version = 0;
    uint32_t characteristics = 0;
    ByteView data;
    size_t offset = 0;  // where the entry's header starts in the file
};

// The entries of a .res file. Reading stops at the first malformed entry: the entries before it
// are kept and error says what was wrong. Zero bytes after the last entry are padding.
struct WIN32_STANDIN_API ResourceIndex {
    std::vector<ResourceEntry> entries;  // without the file's leading empty entry
    std::string error;
    size_t errorOffset = 0;

    bool ok() const { return error.empty(); }
    // The first entry with this type and name, in any language; nullptr when there is none.
    const ResourceEntry* find(uint16_t type, const ResourceName& name) const;
    const ResourceEntry* find(uint16_t type, uint16_t id) const { return find(type, ResourceName::fromOrdinal(id)); }
};

WIN32_STANDIN_API ResourceIndex parseResourceFile(ByteView bytes);

// A control of a dialog template (DLGITEMTEMPLATE or DLGITEMTEMPLATEEX).
struct DialogItemTemplate {
    uint32_t helpId = 0;  // DLGITEMTEMPLATEEX only
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int16_t x = 0;
    int16_t y = 0;
    int16_t cx = 0;
    int16_t cy = 0;
    // A DLGITEMTEMPLATE id is a WORD (IDC_STATIC reads as 65535), a DLGITEMTEMPLATEEX id a DWORD
    // (IDC_STATIC reads as -1).
    int32_t id = 0;
    ResourceName windowClass;  // an ordinal 0x0080..0x0085 or a registered class name
    std::string className;     // the class as a window gets it: "Button", "Edit", ... or the name
    ResourceName title;        // the text, or an ordinal naming a resource such as an icon
    std::vector<uint8_t> creationData;
};

// A dialog template (DLGTEMPLATE, as DIALOG statements compile, or DLGTEMPLATEEX, as DIALOGEX).
struct DialogTemplate {
    bool extended = false;
    uint16_t templateVersion = 0;  // dlgVer of DLGTEMPLATEEX, 0 otherwise
    uint32_t helpId = 0;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int16_t x = 0;
    int16_t y = 0;
    int16_t cx = 0;
    int16_t cy = 0;
    ResourceName menu;
    ResourceName windowClass;
    std::string title;
    bool hasFont = false;  // DS_SETFONT: the font fields below were present
    uint16_t pointSize = 0;
    uint16_t weight = 0;  // DLGTEMPLATEEX only
    bool italic = false;  // DLGTEMPLATEEX only
    uint8_t charset = 0;  // DLGTEMPLATEEX only
    std::string typeface;
    std::vector<DialogItemTemplate> items;
};

WIN32_STANDIN_API Parsed<DialogTemplate> parseDialogTemplate(ByteView bytes);

// The class name a dialog control gets for a class ordinal ("Button" for 0x0080 ...), or "" for an
// ordinal that names no predefined class.
WIN32_STANDIN_API std::string predefinedClassName(uint16_t ordinal);

// String index % 16 of a string-table block (RT_STRING): the 16 counted UTF-16 strings. An empty
// string and a missing one are the same to Win32; both give an empty result. nullopt when the
// block is malformed or the index is not below 16.
WIN32_STANDIN_API std::optional<std::u16string> stringFromTableBlock(ByteView block, unsigned index);

// One StringTable of a version block: its language/code-page key (e.g. "040904b0") and pairs.
struct VersionStringTable {
    std::string key;
    std::vector<std::pair<std::string, std::string>> strings;
};

// A version block (VS_VERSIONINFO). Strings are UTF-8.
struct WIN32_STANDIN_API VersionInfo {
    bool hasFixedInfo = false;              // a VS_FIXEDFILEINFO was present; the numbers below come from it
    std::array<uint16_t, 4> fileVersion{};  // most significant first: 3,0,1,2 reads {3, 0, 1, 2}
    std::array<uint16_t, 4> productVersion{};
    uint32_t fileFlagsMask = 0;
    uint32_t fileFlags = 0;
    uint32_t fileOS = 0;
    uint32_t fileType = 0;
    uint32_t fileSubtype = 0;
    uint64_t fileDate = 0;
    std::vector<VersionStringTable> stringTables;
    std::vector<std::pair<uint16_t, uint16_t>> translations;  // (language, code page) from VarFileInfo

    // The value for a key from the first string table that has it, or "".
    std::string value(const std::string& key) const;
};

WIN32_STANDIN_API Parsed<VersionInfo> parseVersionInfo(ByteView bytes);

// Win32's 8-bit reading of UTF-16 text: code units below 256 as Latin-1, others as '?'.
WIN32_STANDIN_API std::string ansiFromUtf16(const std::u16string& text);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
WIN32_STANDIN_API std::string utf8FromUtf16(const std::u16string& text);

// The resources of a loaded module: a copy of its ".rsrc" section and their index (which views
// `bytes`). bytes is empty when the module has no resources.
struct ModuleResources {
    HINSTANCE instance = nullptr;
    std::string path;
    std::vector<uint8_t> bytes;
    ResourceIndex index;

    ModuleResources() = default;
    ModuleResources(const ModuleResources&) = delete;
    ModuleResources& operator=(const ModuleResources&) = delete;
};

// The resources of the module loaded at `instance` (nullptr: the main program). nullptr when no
// module is loaded there. The result stays valid after the module is unloaded.
WIN32_STANDIN_API std::shared_ptr<const ModuleResources> moduleResources(HINSTANCE instance);
// The dialog template with this id in the module.
WIN32_STANDIN_API Parsed<DialogTemplate> loadDialogTemplate(HINSTANCE instance, int id);
// The module's first version block.
WIN32_STANDIN_API Parsed<VersionInfo> readVersionInfo(HINSTANCE instance);
// The string with this id from the module's string table, 8-bit as LoadStringA gives it; nullopt
// when it does not exist (or is empty).
WIN32_STANDIN_API std::optional<std::string> loadString(HINSTANCE instance, UINT id);

// The handle of the loaded module whose image contains `address` (e.g. one of its functions), or
// nullptr. The host gives each plug-in module this handle when it calls the module's entry point.
WIN32_STANDIN_API HINSTANCE moduleHandleOf(const void* address);
// The file a loaded module was loaded from (the main program: its executable), or "".
WIN32_STANDIN_API std::string moduleFileName(HINSTANCE instance);

}  // namespace win32

#endif
