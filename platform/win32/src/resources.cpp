// The parsers of compiled resources: .res entries, dialog templates, string-table blocks, version
// blocks; pure functions over bytes, read through ByteReader only.
#include <algorithm>
#include <cctype>
#include <limits>

#include "byte_reader.h"
#include "win32_resources.h"

namespace win32 {

using detail::ByteReader;

namespace {

// A .res entry header: DataSize, HeaderSize, TYPE and NAME (4 bytes each as ordinals), then
// DataVersion, MemoryFlags, LanguageId, Version, Characteristics.
constexpr size_t kMinimumEntryHeaderSize = 32;
constexpr size_t kEntrySizeFieldsSize = 8;
constexpr uint16_t kOrdinalMarker = 0xFFFF;

// DLGTEMPLATEEX starts with dlgVer = 1 and signature = 0xFFFF.
constexpr uint16_t kExtendedTemplateVersion = 1;
constexpr uint16_t kExtendedTemplateSignature = 0xFFFF;
constexpr uint32_t kSetFontStyle = 0x40;  // DS_SETFONT
// The smallest control record: the fixed part, then a one-word class, title and creation data.
constexpr size_t kMinimumItemSize = 18 + 6;
constexpr size_t kMinimumItemExSize = 24 + 6;

constexpr size_t kVersionNodeHeaderSize = 6;  // wLength, wValueLength, wType
constexpr uint16_t kVersionNodeText = 1;
constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr size_t kFixedFileInfoSize = 52;

bool sameIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// A name in a .res entry header: 0xFFFF and an ordinal, or a NUL-terminated UTF-16 string.
ResourceName readEntryName(ByteReader& reader) {
    if (reader.peekU16() == kOrdinalMarker) {
        reader.readU16();
        return ResourceName::fromOrdinal(reader.readU16());
    }
    return ResourceName::fromName(ansiFromUtf16(reader.readUtf16z()));
}

// A name in a dialog template (sz_Or_Ord): 0x0000 for none, 0xFFFF and an ordinal, or a string.
ResourceName readTemplateName(ByteReader& reader) {
    const uint16_t first = reader.peekU16();
    if (first == 0) {
        reader.readU16();
        return {};
    }
    return readEntryName(reader);
}

bool fitsRecords(size_t count, size_t recordSize, size_t available) {
    return recordSize == 0 || count <= available / recordSize;
}

template <typename T>
Parsed<T> failure(const ByteReader& reader) {
    Parsed<T> result;
    result.error = reader.error();
    result.errorOffset = reader.errorOffset();
    return result;
}

bool allZero(ByteView bytes) {
    return std::all_of(bytes.data, bytes.data + bytes.size, [](uint8_t byte) { return byte == 0; });
}

}  // namespace

ResourceName ResourceName::fromOrdinal(uint16_t value) {
    ResourceName name;
    name.kind = Kind::Ordinal;
    name.ordinal = value;
    return name;
}

ResourceName ResourceName::fromName(std::string value) {
    ResourceName name;
    name.kind = Kind::Name;
    name.name = std::move(value);
    return name;
}

bool ResourceName::operator==(const ResourceName& other) const {
    if (kind != other.kind) {
        return false;
    }
    switch (kind) {
    case Kind::None:
        return true;
    case Kind::Ordinal:
        return ordinal == other.ordinal;
    case Kind::Name:
        return sameIgnoringAsciiCase(name, other.name);
    }
    return false;
}

const ResourceEntry* ResourceIndex::find(uint16_t type, const ResourceName& name) const {
    for (const ResourceEntry& entry : entries) {
        if (entry.type.isOrdinal(type) && entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

ResourceIndex parseResourceFile(ByteView bytes) {
    ResourceIndex index;
    ByteReader reader(bytes);
    while (!reader.atEnd()) {
        const size_t entryStart = reader.offset();
        const ByteView rest{bytes.data + entryStart, reader.remaining()};
        if (allZero(rest)) {
            break;  // section padding after the last entry
        }

        const size_t dataSize = reader.readU32();
        const size_t headerSize = reader.readU32();
        if (!reader.ok() || headerSize < kMinimumEntryHeaderSize) {
            reader.fail("resource entry header too short");
        } else if (headerSize > reader.size() - entryStart || dataSize > reader.size() - entryStart - headerSize) {
            reader.fail("resource entry extends past the end of the data");
        }
        if (!reader.ok()) {
            break;
        }

        // Names and fields after them must lie inside the declared header.
        ByteReader header = reader.sub(entryStart + kEntrySizeFieldsSize, headerSize - kEntrySizeFieldsSize);
        ResourceEntry entry;
        entry.offset = entryStart;
        entry.type = readEntryName(header);
        entry.name = readEntryName(header);
        header.alignTo(4);
        entry.dataVersion = header.readU32();
        entry.memoryFlags = header.readU16();
        entry.languageId = header.readU16();
        entry.version = header.readU32();
        entry.characteristics = header.readU32();
        if (!header.ok()) {
            reader.fail("resource entry header: " + header.error());
            break;
        }
        entry.data = ByteView{bytes.data + entryStart + headerSize, dataSize};

        // The file's first entry is an empty one of type 0 that marks the format.
        const bool formatMarker = entry.type.isOrdinal(0) && dataSize == 0;
        if (!formatMarker) {
            index.entries.push_back(std::move(entry));
        }

        reader.seek(entryStart + headerSize + dataSize);
        reader.alignTo(4);
    }
    if (!reader.ok()) {
        index.error = reader.error();
        index.errorOffset = reader.errorOffset();
    }
    return index;
}

std::string predefinedClassName(uint16_t ordinal) {
    switch (ordinal) {
    case 0x0080:
        return "Button";
    case 0x0081:
        return "Edit";
    case 0x0082:
        return "Static";
    case 0x0083:
        return "ListBox";
    case 0x0084:
        return "ScrollBar";
    case 0x0085:
        return "ComboBox";
    default:
        return "";
    }
}

Parsed<DialogTemplate> parseDialogTemplate(ByteView bytes) {
    ByteReader reader(bytes);
    DialogTemplate dialog;
    ByteReader probe(bytes);
    const uint16_t firstWord = probe.readU16();
    const uint16_t secondWord = probe.readU16();
    dialog.extended = probe.ok() && firstWord == kExtendedTemplateVersion && secondWord == kExtendedTemplateSignature;
    if (dialog.extended) {
        dialog.templateVersion = reader.readU16();
        reader.readU16();
        dialog.helpId = reader.readU32();
        dialog.exStyle = reader.readU32();
        dialog.style = reader.readU32();
    } else {
        dialog.style = reader.readU32();
        dialog.exStyle = reader.readU32();
    }
    const size_t itemCount = reader.readU16();
    dialog.x = reader.readI16();
    dialog.y = reader.readI16();
    dialog.cx = reader.readI16();
    dialog.cy = reader.readI16();
    dialog.menu = readTemplateName(reader);
    dialog.windowClass = readTemplateName(reader);
    dialog.title = ansiFromUtf16(reader.readUtf16z());
    if ((dialog.style & kSetFontStyle) != 0) {
        dialog.hasFont = true;
        dialog.pointSize = reader.readU16();
        if (dialog.extended) {
            dialog.weight = reader.readU16();
            dialog.italic = reader.readU8() != 0;
            dialog.charset = reader.readU8();
        }
        dialog.typeface = ansiFromUtf16(reader.readUtf16z());
    }
    if (!reader.ok()) {
        return failure<DialogTemplate>(reader);
    }

    if (!fitsRecords(itemCount, dialog.extended ? kMinimumItemExSize : kMinimumItemSize, reader.remaining())) {
        reader.fail("more controls declared than the template can hold");
        return failure<DialogTemplate>(reader);
    }
    dialog.items.reserve(itemCount);
    for (size_t i = 0; i < itemCount && reader.ok(); ++i) {
        reader.alignTo(4);  // every control record starts on a DWORD boundary
        DialogItemTemplate item;
        if (dialog.extended) {
            item.helpId = reader.readU32();
            item.exStyle = reader.readU32();
            item.style = reader.readU32();
        } else {
            item.style = reader.readU32();
            item.exStyle = reader.readU32();
        }
        item.x = reader.readI16();
        item.y = reader.readI16();
        item.cx = reader.readI16();
        item.cy = reader.readI16();
        item.id = dialog.extended ? static_cast<int32_t>(reader.readU32()) : static_cast<int32_t>(reader.readU16());
        item.windowClass = readTemplateName(reader);
        item.className = item.windowClass.kind == ResourceName::Kind::Ordinal
                             ? predefinedClassName(item.windowClass.ordinal)
                             : item.windowClass.name;
        // A title is an ordinal or a string; 0x0000 is the empty string, not "none".
        item.title = readEntryName(reader);
        // DLGITEMTEMPLATEEX counts the creation bytes after the count word; DLGITEMTEMPLATE's
        // count includes the count word itself.
        const size_t creationCount = reader.readU16();
        size_t creationBytes = creationCount;
        if (!dialog.extended && creationCount != 0) {
            if (creationCount < 2) {
                reader.fail("creation data shorter than its size word");
                break;
            }
            creationBytes = creationCount - 2;
        }
        const ByteView creation = reader.readBytes(creationBytes);
        if (!reader.ok()) {
            break;
        }
        item.creationData.assign(creation.data, creation.data + creation.size);
        dialog.items.push_back(std::move(item));
    }
    if (!reader.ok()) {
        return failure<DialogTemplate>(reader);
    }
    Parsed<DialogTemplate> result;
    result.value = std::move(dialog);
    return result;
}

std::optional<std::u16string> stringFromTableBlock(ByteView block, unsigned index) {
    if (index >= kStringsPerBlock) {
        return std::nullopt;
    }
    ByteReader reader(block);
    for (unsigned i = 0; i < index; ++i) {
        const size_t length = reader.readU16();
        reader.skip(length * 2);
    }
    const size_t length = reader.readU16();
    const ByteView units = reader.readBytes(length * 2);
    if (!reader.ok()) {
        return std::nullopt;
    }
    std::u16string text;
    text.reserve(length);
    ByteReader textReader(units);
    for (size_t i = 0; i < length; ++i) {
        text.push_back(static_cast<char16_t>(textReader.readU16()));
    }
    return text;
}

namespace {

// One node of a version block: wLength, wValueLength, wType, a key, its value, then children, each
// part starting on a DWORD boundary counted from the start of the block.
struct VersionNode {
    std::u16string key;
    uint16_t type = 0;
    uint16_t valueLength = 0;
    ByteView value;  // text nodes: the UTF-16 units up to the node's end
    size_t childrenStart = 0;
    size_t end = 0;
};

// Reads the node at the reader's position (DWORD aligned) and leaves the reader at its end.
bool readVersionNode(ByteReader& reader, VersionNode& node) {
    reader.alignTo(4);
    const size_t start = reader.offset();
    const size_t length = reader.readU16();
    node.valueLength = reader.readU16();
    node.type = reader.readU16();
    if (!reader.ok()) {
        return false;
    }
    if (length < kVersionNodeHeaderSize || length > reader.size() - start) {
        return reader.fail("version node length outside its parent");
    }
    node.end = start + length;
    ByteReader inside = reader.sub(0, node.end);
    inside.seek(reader.offset());
    node.key = inside.readUtf16z();
    inside.alignTo(4);
    // Text values are counted in characters by the documentation and in bytes by some compilers;
    // the text runs to its terminator either way, so it is read from there to the node's end.
    const size_t valueBytes = node.type == kVersionNodeText ? size_t{node.valueLength} * 2 : node.valueLength;
    if (node.type == kVersionNodeText) {
        node.value = inside.readBytes(std::min(valueBytes, inside.remaining()));
    } else {
        node.value = inside.readBytes(valueBytes);
    }
    inside.alignTo(4);
    node.childrenStart = inside.offset();
    if (!inside.ok()) {
        return reader.fail("version node: " + inside.error());
    }
    reader.seek(node.end);
    return reader.ok();
}

// The children of a node, each read by `visit`.
template <typename Visit>
bool forEachChild(ByteReader& block, const VersionNode& parent, Visit visit) {
    ByteReader children = block.sub(0, parent.end);
    children.seek(parent.childrenStart);
    while (children.ok() && children.offset() < parent.end) {
        VersionNode child;
        if (!readVersionNode(children, child)) {
            break;
        }
        visit(child);
        children.alignTo(4);
    }
    if (!children.ok()) {
        return block.fail(children.error());
    }
    return true;
}

std::u16string textValue(ByteView value) {
    ByteReader reader(value);
    std::u16string text;
    while (reader.remaining() >= 2) {
        const char16_t unit = static_cast<char16_t>(reader.readU16());
        if (unit == 0) {
            break;
        }
        text.push_back(unit);
    }
    return text;
}

}  // namespace

Parsed<VersionInfo> parseVersionInfo(ByteView bytes) {
    ByteReader block(bytes);
    VersionNode root;
    if (!readVersionNode(block, root)) {
        return failure<VersionInfo>(block);
    }
    if (root.key != u"VS_VERSION_INFO") {
        block.fail("version block does not start with VS_VERSION_INFO");
        return failure<VersionInfo>(block);
    }
    VersionInfo info;
    if (root.value.size != 0) {
        if (root.value.size < kFixedFileInfoSize) {
            block.fail("fixed file information too short");
            return failure<VersionInfo>(block);
        }
        ByteReader fixed(root.value);
        if (fixed.readU32() != kFixedFileInfoSignature) {
            block.fail("fixed file information has the wrong signature");
            return failure<VersionInfo>(block);
        }
        fixed.readU32();  // structure version
        const uint32_t fileMS = fixed.readU32();
        const uint32_t fileLS = fixed.readU32();
        const uint32_t productMS = fixed.readU32();
        const uint32_t productLS = fixed.readU32();
        info.fileVersion = {static_cast<uint16_t>(fileMS >> 16), static_cast<uint16_t>(fileMS),
                            static_cast<uint16_t>(fileLS >> 16), static_cast<uint16_t>(fileLS)};
        info.productVersion = {static_cast<uint16_t>(productMS >> 16), static_cast<uint16_t>(productMS),
                               static_cast<uint16_t>(productLS >> 16), static_cast<uint16_t>(productLS)};
        info.fileFlagsMask = fixed.readU32();
        info.fileFlags = fixed.readU32();
        info.fileOS = fixed.readU32();
        info.fileType = fixed.readU32();
        info.fileSubtype = fixed.readU32();
        const uint64_t dateMS = fixed.readU32();
        const uint64_t dateLS = fixed.readU32();
        info.fileDate = (dateMS << 32) | dateLS;
        info.hasFixedInfo = true;
    }

    forEachChild(block, root, [&](const VersionNode& section) {
        if (section.key == u"StringFileInfo") {
            forEachChild(block, section, [&](const VersionNode& table) {
                VersionStringTable strings;
                strings.key = utf8FromUtf16(table.key);
                forEachChild(block, table, [&](const VersionNode& pair) {
                    strings.strings.emplace_back(utf8FromUtf16(pair.key), utf8FromUtf16(textValue(pair.value)));
                });
                info.stringTables.push_back(std::move(strings));
            });
        } else if (section.key == u"VarFileInfo") {
            forEachChild(block, section, [&](const VersionNode& var) {
                if (var.key != u"Translation") {
                    return;
                }
                ByteReader pairs(var.value);
                while (pairs.remaining() >= 4) {
                    const uint16_t language = pairs.readU16();
                    const uint16_t codePage = pairs.readU16();
                    info.translations.emplace_back(language, codePage);
                }
            });
        }
    });
    if (!block.ok()) {
        return failure<VersionInfo>(block);
    }
    Parsed<VersionInfo> result;
    result.value = std::move(info);
    return result;
}

std::string VersionInfo::value(const std::string& key) const {
    for (const VersionStringTable& table : stringTables) {
        for (const auto& pair : table.strings) {
            if (pair.first == key) {
                return pair.second;
            }
        }
    }
    return "";
}

std::string ansiFromUtf16(const std::u16string& text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (const char16_t unit : text) {
        narrow.push_back(unit < 0x100 ? static_cast<char>(static_cast<unsigned char>(unit)) : '?');
    }
    return narrow;
}

std::string utf8FromUtf16(const std::u16string& text) {
    std::string utf8;
    utf8.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<uint32_t>(text[i + 1]) - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        if (code < 0x80) {
            utf8.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            utf8.push_back(static_cast<char>(0xC0 | (code >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            utf8.push_back(static_cast<char>(0xE0 | (code >> 12)));
            utf8.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            utf8.push_back(static_cast<char>(0xF0 | (code >> 18)));
            utf8.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return utf8;
}

}  // namespace win32
