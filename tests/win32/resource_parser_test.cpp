// Tests of the resource parsers: .res entries, dialog templates of both formats, string-table
// blocks, version blocks, and malformed, truncated and mutated bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "commctrl.h"
#include "test_resources.h"
#include "win32_resources.h"
#include "windows.h"

namespace win32 {
// Names print readably in failure messages.
void PrintTo(const ResourceName& name, std::ostream* out) {
    switch (name.kind) {
    case ResourceName::Kind::None:
        *out << "(none)";
        break;
    case ResourceName::Kind::Ordinal:
        *out << "#" << name.ordinal;
        break;
    case ResourceName::Kind::Name:
        *out << '"' << name.name << '"';
        break;
    }
}
}  // namespace win32

namespace {

using win32::ByteView;
using win32::ResourceName;

// Little-endian bytes built by hand, for records that no resource compiler writes.
class Bytes {
public:
    Bytes& u8(uint8_t value) {
        data_.push_back(value);
        return *this;
    }
    Bytes& u16(uint16_t value) { return u8(static_cast<uint8_t>(value)).u8(static_cast<uint8_t>(value >> 8)); }
    Bytes& u32(uint32_t value) { return u16(static_cast<uint16_t>(value)).u16(static_cast<uint16_t>(value >> 16)); }
    Bytes& text(const std::u16string& value) {
        for (char16_t unit : value) {
            u16(unit);
        }
        return u16(0);
    }
    Bytes& ordinal(uint16_t value) { return u16(0xFFFF).u16(value); }
    Bytes& align4() {
        while (data_.size() % 4 != 0) {
            u8(0);
        }
        return *this;
    }
    Bytes& append(const std::vector<uint8_t>& bytes) {
        data_.insert(data_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    void patchU32(size_t offset, uint32_t value) {
        for (size_t i = 0; i < 4; ++i) {
            data_[offset + i] = static_cast<uint8_t>(value >> (8 * i));
        }
    }
    size_t size() const { return data_.size(); }
    ByteView view() const { return ByteView{data_.data(), data_.size()}; }
    const std::vector<uint8_t>& data() const { return data_; }

private:
    std::vector<uint8_t> data_;
};

// One .res entry; the header size covers the names as written.
void appendEntry(Bytes& file, const ResourceName& type, const ResourceName& name, const std::vector<uint8_t>& data) {
    const size_t start = file.size();
    file.u32(static_cast<uint32_t>(data.size())).u32(0);
    for (const ResourceName* part : {&type, &name}) {
        if (part->kind == ResourceName::Kind::Ordinal) {
            file.ordinal(part->ordinal);
        } else {
            file.text(std::u16string(part->name.begin(), part->name.end()));
        }
    }
    file.align4().u32(0).u16(0x1030).u16(0x0409).u32(0).u32(0);
    file.patchU32(start + 4, static_cast<uint32_t>(file.size() - start));
    file.append(data).align4();
}

Bytes resourceFile() {
    Bytes file;
    appendEntry(file, ResourceName::fromOrdinal(0), ResourceName::fromOrdinal(0), {});
    return file;
}

std::shared_ptr<const win32::ModuleResources> programResources() {
    auto resources = win32::moduleResources(GetModuleHandleA(nullptr));
    EXPECT_TRUE(resources && !resources->bytes.empty());
    return resources;
}

const win32::DialogItemTemplate& itemWithId(const win32::DialogTemplate& dialog, int id) {
    const auto found = std::find_if(dialog.items.begin(), dialog.items.end(),
                                    [id](const win32::DialogItemTemplate& item) { return item.id == id; });
    if (found == dialog.items.end()) {
        throw std::runtime_error("no control " + std::to_string(id));
    }
    return *found;
}

// Parses everything a module's resources hold, as the stand-in would on demand.
void parseEverything(ByteView bytes) {
    const win32::ResourceIndex index = win32::parseResourceFile(bytes);
    for (const win32::ResourceEntry& entry : index.entries) {
        if (entry.type.isOrdinal(win32::kResourceTypeDialog)) {
            const auto dialog = win32::parseDialogTemplate(entry.data);
            if (!dialog) {
                EXPECT_LE(dialog.errorOffset, entry.data.size);
            }
        } else if (entry.type.isOrdinal(win32::kResourceTypeVersion)) {
            const auto version = win32::parseVersionInfo(entry.data);
            if (!version) {
                EXPECT_LE(version.errorOffset, entry.data.size);
            }
        } else if (entry.type.isOrdinal(win32::kResourceTypeString)) {
            for (unsigned i = 0; i < win32::kStringsPerBlock; ++i) {
                win32::stringFromTableBlock(entry.data, i);
            }
        }
    }
}

TEST(ResourceFile, IndexesTheCompiledScript) {
    const auto resources = programResources();
    ASSERT_TRUE(resources->index.ok()) << resources->index.error;
    const win32::ResourceIndex& index = resources->index;
    // Strings 1-2 share block 1, 17 is in block 2, 40 in block 3.
    for (uint16_t block : {uint16_t{1}, uint16_t{2}, uint16_t{3}}) {
        EXPECT_NE(index.find(win32::kResourceTypeString, block), nullptr) << block;
    }
    EXPECT_EQ(index.find(win32::kResourceTypeString, 4), nullptr);
    for (int dialog : {IDD_OPTIONS, IDD_PANEL, IDD_BARE}) {
        EXPECT_NE(index.find(win32::kResourceTypeDialog, static_cast<uint16_t>(dialog)), nullptr) << dialog;
    }
    EXPECT_NE(index.find(win32::kResourceTypeVersion, VS_VERSION_INFO), nullptr);
    for (const win32::ResourceEntry& entry : index.entries) {
        EXPECT_EQ(entry.languageId, 0x0409);
        EXPECT_EQ(entry.offset % 4, 0u);
        // Every entry's data lies inside the section.
        EXPECT_GE(entry.data.data, resources->bytes.data());
        EXPECT_LE(entry.data.data + entry.data.size, resources->bytes.data() + resources->bytes.size());
    }
}

TEST(ResourceFile, ReadsNamedEntriesAndPadding) {
    Bytes file = resourceFile();
    appendEntry(file, ResourceName::fromName("MYTYPE"), ResourceName::fromOrdinal(7), {'a', 'b', 'c'});
    appendEntry(file, ResourceName::fromOrdinal(win32::kResourceTypeString), ResourceName::fromName("NAMED"),
                {1, 2, 3, 4, 5});
    file.u32(0).u32(0);  // section padding

    const win32::ResourceIndex index = win32::parseResourceFile(file.view());
    ASSERT_TRUE(index.ok()) << index.error;
    ASSERT_EQ(index.entries.size(), 2u);
    EXPECT_EQ(index.entries[0].type, ResourceName::fromName("mytype"));  // names compare without case
    EXPECT_TRUE(index.entries[0].name.isOrdinal(7));
    EXPECT_EQ(std::string(index.entries[0].data.data, index.entries[0].data.data + 3), "abc");
    EXPECT_EQ(index.entries[1].data.size, 5u);
    EXPECT_EQ(index.entries[1].data.data[4], 5);
    EXPECT_EQ(index.find(win32::kResourceTypeString, ResourceName::fromName("named")), &index.entries[1]);
    EXPECT_NE(ResourceName::fromOrdinal(7), ResourceName::fromName("7"));
}

TEST(ResourceFile, RefusesMalformedEntriesKeepingEarlierOnes) {
    Bytes good = resourceFile();
    appendEntry(good, ResourceName::fromOrdinal(10), ResourceName::fromOrdinal(1), {9, 9, 9, 9});
    const size_t badStart = good.size();

    Bytes shortHeader = good;
    shortHeader.u32(0).u32(8).u32(0).u32(0);
    auto index = win32::parseResourceFile(shortHeader.view());
    EXPECT_FALSE(index.ok());
    EXPECT_EQ(index.entries.size(), 1u);
    EXPECT_EQ(index.errorOffset, badStart + 8);

    Bytes pastEnd = good;
    appendEntry(pastEnd, ResourceName::fromOrdinal(10), ResourceName::fromOrdinal(2), {1, 2, 3, 4});
    pastEnd.patchU32(badStart, 0xFFFFFFF0u);  // DataSize far beyond the file
    index = win32::parseResourceFile(pastEnd.view());
    EXPECT_FALSE(index.ok());
    EXPECT_EQ(index.entries.size(), 1u);

    Bytes hugeHeader = good;
    appendEntry(hugeHeader, ResourceName::fromOrdinal(10), ResourceName::fromOrdinal(2), {});
    hugeHeader.patchU32(badStart + 4, 0xFFFFFFF0u);
    EXPECT_FALSE(win32::parseResourceFile(hugeHeader.view()).ok());

    Bytes unterminatedName = good;
    unterminatedName.u32(0).u32(32);
    for (int i = 0; i < 12; ++i) {
        unterminatedName.u16(u'A');  // type name runs past the header
    }
    EXPECT_FALSE(win32::parseResourceFile(unterminatedName.view()).ok());

    Bytes trailingGarbage = good;
    trailingGarbage.u8(1).u8(0).u8(0);
    EXPECT_FALSE(win32::parseResourceFile(trailingGarbage.view()).ok());

    EXPECT_TRUE(win32::parseResourceFile(ByteView{}).ok());
}

TEST(DialogTemplate, ReadsDialogStatementWithEveryControlField) {
    const auto dialog = win32::loadDialogTemplate(GetModuleHandleA(nullptr), IDD_OPTIONS);
    ASSERT_TRUE(dialog) << dialog.error;
    EXPECT_FALSE(dialog->extended);
    EXPECT_EQ(dialog->style, static_cast<uint32_t>(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT));
    EXPECT_EQ(dialog->exStyle, 0u);
    EXPECT_EQ(dialog->x, 10);
    EXPECT_EQ(dialog->y, 20);
    EXPECT_EQ(dialog->cx, 200);
    EXPECT_EQ(dialog->cy, 120);
    EXPECT_EQ(dialog->menu.kind, ResourceName::Kind::None);
    EXPECT_EQ(dialog->windowClass.kind, ResourceName::Kind::None);
    EXPECT_EQ(dialog->title, "Export options");
    EXPECT_TRUE(dialog->hasFont);
    EXPECT_EQ(dialog->pointSize, 8);
    EXPECT_EQ(dialog->typeface, "MS Sans Serif");
    ASSERT_EQ(dialog->items.size(), 9u);

    const auto& tags = itemWithId(*dialog, IDC_TAGS);
    EXPECT_EQ(tags.style, static_cast<uint32_t>(WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | WS_TABSTOP));
    EXPECT_EQ(tags.exStyle, 0u);
    EXPECT_EQ(tags.x, 8);
    EXPECT_EQ(tags.y, 8);
    EXPECT_EQ(tags.cx, 100);
    EXPECT_EQ(tags.cy, 10);
    EXPECT_EQ(tags.className, "Button");
    EXPECT_EQ(tags.title, ResourceName::fromName("Export tags"));
    EXPECT_TRUE(tags.creationData.empty());

    const auto& ok = itemWithId(*dialog, IDOK);
    EXPECT_TRUE(ok.windowClass.isOrdinal(0x0080));
    EXPECT_EQ(ok.style & 0x0F, static_cast<uint32_t>(BS_DEFPUSHBUTTON));
    EXPECT_EQ(ok.title.name, "OK");
    const auto& name = itemWithId(*dialog, IDC_NAME);
    EXPECT_TRUE(name.windowClass.isOrdinal(0x0081));
    EXPECT_EQ(name.className, "Edit");
    EXPECT_NE(name.style & ES_AUTOHSCROLL, 0u);
    const auto& label = itemWithId(*dialog, IDC_QUALITY_LABEL);
    EXPECT_EQ(label.className, "Static");
    EXPECT_EQ(label.title.name, "Quality:");
    const auto& quality = itemWithId(*dialog, IDC_QUALITY);
    EXPECT_EQ(quality.className, TRACKBAR_CLASSA);
    EXPECT_EQ(quality.style, static_cast<uint32_t>(WS_CHILD | WS_VISIBLE | TBS_HORZ | TBS_NOTICKS | WS_TABSTOP));
    EXPECT_EQ(itemWithId(*dialog, IDC_FRAMES).style & 0x0F, static_cast<uint32_t>(BS_GROUPBOX));

    // A DLGITEMTEMPLATE id is a WORD.
    const auto bare = win32::loadDialogTemplate(GetModuleHandleA(nullptr), IDD_BARE);
    ASSERT_TRUE(bare) << bare.error;
    EXPECT_FALSE(bare->hasFont);
    ASSERT_EQ(bare->items.size(), 1u);
    EXPECT_EQ(bare->items[0].id, 0xFFFF);
}

TEST(DialogTemplate, ReadsDialogExStatementWithEveryControlField) {
    const auto dialog = win32::loadDialogTemplate(GetModuleHandleA(nullptr), IDD_PANEL);
    ASSERT_TRUE(dialog) << dialog.error;
    EXPECT_TRUE(dialog->extended);
    EXPECT_EQ(dialog->templateVersion, 1);
    EXPECT_EQ(dialog->style, static_cast<uint32_t>(DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_VISIBLE));
    EXPECT_EQ(dialog->exStyle, static_cast<uint32_t>(WS_EX_TOOLWINDOW));
    EXPECT_EQ(dialog->cx, 160);
    EXPECT_EQ(dialog->cy, 90);
    EXPECT_EQ(dialog->title, "Panel");
    EXPECT_EQ(dialog->pointSize, 9);
    EXPECT_EQ(dialog->weight, 700);
    EXPECT_TRUE(dialog->italic);
    EXPECT_EQ(dialog->charset, 2);
    EXPECT_EQ(dialog->typeface, "Segoe UI");
    ASSERT_EQ(dialog->items.size(), 5u);

    const auto& quality = itemWithId(*dialog, IDC_QUALITY);
    EXPECT_EQ(quality.helpId, static_cast<uint32_t>(IDH_QUALITY));
    EXPECT_EQ(quality.exStyle, static_cast<uint32_t>(WS_EX_STATICEDGE));
    EXPECT_EQ(quality.style, static_cast<uint32_t>(WS_CHILD | WS_VISIBLE | TBS_HORZ | WS_TABSTOP));
    EXPECT_EQ(quality.x, 6);
    EXPECT_EQ(quality.y, 6);
    EXPECT_EQ(quality.cx, 120);
    EXPECT_EQ(quality.cy, 14);
    EXPECT_EQ(quality.className, TRACKBAR_CLASSA);
    EXPECT_EQ(quality.title, ResourceName::fromName(""));
    EXPECT_EQ(itemWithId(*dialog, IDC_NAME).exStyle, static_cast<uint32_t>(WS_EX_CLIENTEDGE));
    EXPECT_EQ(itemWithId(*dialog, IDC_WRAP).className, "BUTTON");
    // An icon control names its image by ordinal instead of a text.
    const auto& logo = itemWithId(*dialog, IDC_LOGO);
    EXPECT_EQ(logo.className, "Static");
    EXPECT_TRUE(logo.title.isOrdinal(IDI_LOGO));
}

// A DLGTEMPLATE / DLGTEMPLATEEX header with no font and `count` controls.
Bytes dialogHeader(bool extended, uint16_t count) {
    Bytes bytes;
    if (extended) {
        bytes.u16(1).u16(0xFFFF).u32(0).u32(0).u32(WS_POPUP);
    } else {
        bytes.u32(WS_POPUP).u32(0);
    }
    bytes.u16(count).u16(1).u16(2).u16(3).u16(4);
    bytes.u16(0).ordinal(0x0123).text(u"Hi");  // no menu, class ordinal, title
    return bytes;
}

TEST(DialogTemplate, ReadsCreationDataAlignmentAndOrdinalClasses) {
    // DLGITEMTEMPLATE: the creation-data count includes its own word.
    Bytes plain = dialogHeader(false, 2);
    plain.align4().u32(WS_CHILD).u32(0).u16(1).u16(2).u16(3).u16(4).u16(10);
    plain.ordinal(0x0085).text(u"odd").u16(6).u16(0xBEEF).u16(0xCAFE);
    plain.align4().u32(WS_CHILD).u32(0).u16(0).u16(0).u16(0).u16(0).u16(11);
    plain.text(u"CustomClass").ordinal(55).u16(0);
    auto dialog = win32::parseDialogTemplate(plain.view());
    ASSERT_TRUE(dialog) << dialog.error;
    EXPECT_TRUE(dialog->windowClass.isOrdinal(0x0123));
    EXPECT_EQ(dialog->title, "Hi");
    ASSERT_EQ(dialog->items.size(), 2u);
    EXPECT_EQ(dialog->items[0].className, "ComboBox");
    EXPECT_EQ(dialog->items[0].creationData, (std::vector<uint8_t>{0xEF, 0xBE, 0xFE, 0xCA}));
    EXPECT_EQ(dialog->items[1].id, 11);
    EXPECT_EQ(dialog->items[1].className, "CustomClass");
    EXPECT_TRUE(dialog->items[1].title.isOrdinal(55));

    // DLGITEMTEMPLATEEX: the count is of the bytes after it.
    Bytes extended = dialogHeader(true, 1);
    extended.align4().u32(5).u32(WS_EX_CLIENTEDGE).u32(WS_CHILD).u16(1).u16(2).u16(3).u16(4).u32(0x12345);
    extended.ordinal(0x0084).text(u"").u16(3).u8(7).u8(8).u8(9);
    dialog = win32::parseDialogTemplate(extended.view());
    ASSERT_TRUE(dialog) << dialog.error;
    ASSERT_EQ(dialog->items.size(), 1u);
    EXPECT_EQ(dialog->items[0].helpId, 5u);
    EXPECT_EQ(dialog->items[0].id, 0x12345);
    EXPECT_EQ(dialog->items[0].className, "ScrollBar");
    EXPECT_EQ(dialog->items[0].creationData, (std::vector<uint8_t>{7, 8, 9}));
}

TEST(DialogTemplate, RefusesTemplatesThatDoNotHoldTheirControls) {
    // 65535 controls declared in a few bytes: refused before anything is reserved for them.
    const Bytes crowded = dialogHeader(false, 0xFFFF);
    const auto crowdedResult = win32::parseDialogTemplate(crowded.view());
    EXPECT_FALSE(crowdedResult);
    EXPECT_FALSE(crowdedResult.error.empty());

    Bytes cutItem = dialogHeader(true, 1);
    cutItem.align4().u32(0).u32(0).u32(WS_CHILD).u16(1);
    EXPECT_FALSE(win32::parseDialogTemplate(cutItem.view()));

    Bytes shortCreation = dialogHeader(false, 1);
    shortCreation.align4().u32(WS_CHILD).u32(0).u16(1).u16(2).u16(3).u16(4).u16(10).ordinal(0x80).text(u"x").u16(1);
    EXPECT_FALSE(win32::parseDialogTemplate(shortCreation.view()));

    Bytes unterminatedTitle;
    unterminatedTitle.u32(WS_POPUP).u32(0).u16(0).u16(0).u16(0).u16(0).u16(0).u16(0).u16(0).u16(u'T').u16(u'i');
    EXPECT_FALSE(win32::parseDialogTemplate(unterminatedTitle.view()));
}

TEST(StringTable, FindsCountedStringsInABlock) {
    Bytes block;
    block.u16(5);
    for (char16_t unit : std::u16string(u"first")) {
        block.u16(unit);
    }
    for (int i = 1; i < 15; ++i) {
        block.u16(0);
    }
    block.u16(2).u16(u'o').u16(u'k');

    EXPECT_EQ(win32::stringFromTableBlock(block.view(), 0), std::u16string(u"first"));
    EXPECT_EQ(win32::stringFromTableBlock(block.view(), 7), std::u16string());
    EXPECT_EQ(win32::stringFromTableBlock(block.view(), 15), std::u16string(u"ok"));
    EXPECT_EQ(win32::stringFromTableBlock(block.view(), 16), std::nullopt);

    Bytes overlong;
    overlong.u16(40).u16(u'x');
    EXPECT_EQ(win32::stringFromTableBlock(overlong.view(), 0), std::nullopt);
    EXPECT_EQ(win32::stringFromTableBlock(overlong.view(), 3), std::nullopt);

    EXPECT_EQ(win32::ansiFromUtf16(u"caf\u00e9 \u263a"), "caf\xe9 ?");
    EXPECT_EQ(win32::utf8FromUtf16(u"caf\u00e9 \u263a \U0001F600"), "caf\xc3\xa9 \xe2\x98\xba \xf0\x9f\x98\x80");
    EXPECT_EQ(win32::utf8FromUtf16(std::u16string(1, static_cast<char16_t>(0xD800))), "\xef\xbf\xbd");
}

TEST(VersionInfo, ReadsFixedInfoStringsAndTranslations) {
    const auto version = win32::readVersionInfo(GetModuleHandleA(nullptr));
    ASSERT_TRUE(version) << version.error;
    ASSERT_TRUE(version->hasFixedInfo);
    EXPECT_EQ(version->fileVersion, (std::array<uint16_t, 4>{3, 0, 1, 2}));
    EXPECT_EQ(version->productVersion, (std::array<uint16_t, 4>{3, 0, 0, 7}));
    EXPECT_EQ(version->fileFlagsMask, 0x3Fu);
    EXPECT_EQ(version->fileFlags, static_cast<uint32_t>(VS_FF_DEBUG));
    EXPECT_EQ(version->fileOS, static_cast<uint32_t>(VOS_NT_WINDOWS32));
    EXPECT_EQ(version->fileType, static_cast<uint32_t>(VFT_APP));
    EXPECT_EQ(version->fileSubtype, static_cast<uint32_t>(VFT2_UNKNOWN));
    ASSERT_EQ(version->stringTables.size(), 1u);
    EXPECT_EQ(version->stringTables[0].key, "040904b0");
    EXPECT_EQ(version->stringTables[0].strings.size(), 4u);
    EXPECT_EQ(version->value("CompanyName"), "Quake Model Plugins");
    EXPECT_EQ(version->value("FileDescription"), "Win32 stand-in test program");
    EXPECT_EQ(version->value("FileVersion"), "3.0.1.2");
    EXPECT_EQ(version->value("ProductName"), "Stand-in \xc2\xa9");
    EXPECT_EQ(version->value("Comments"), "");
    ASSERT_EQ(version->translations.size(), 1u);
    EXPECT_EQ(version->translations[0], (std::pair<uint16_t, uint16_t>{0x0409, 1200}));
}

// A version node: wLength, wValueLength, wType, key, value, children, DWORD aligned.
Bytes versionNode(const std::u16string& key, uint16_t type, const Bytes& value, uint16_t valueLength,
                  const std::vector<Bytes>& children) {
    Bytes node;
    node.u16(0).u16(valueLength).u16(type).text(key).align4().append(value.data()).align4();
    for (const Bytes& child : children) {
        node.append(child.data()).align4();
    }
    Bytes sized;
    sized.u16(static_cast<uint16_t>(node.size()));
    sized.append(std::vector<uint8_t>(node.data().begin() + 2, node.data().end()));
    return sized;
}

TEST(VersionInfo, RefusesMalformedBlocks) {
    Bytes text;
    text.text(u"v");
    const Bytes pair = versionNode(u"Key", 1, text, 2, {});
    const Bytes table = versionNode(u"040904b0", 1, {}, 0, {pair});
    const Bytes strings = versionNode(u"StringFileInfo", 1, {}, 0, {table});

    const Bytes noFixedInfo = versionNode(u"VS_VERSION_INFO", 0, {}, 0, {strings});
    const auto parsed = win32::parseVersionInfo(noFixedInfo.view());
    ASSERT_TRUE(parsed) << parsed.error;
    EXPECT_FALSE(parsed->hasFixedInfo);
    EXPECT_EQ(parsed->value("Key"), "v");

    EXPECT_FALSE(win32::parseVersionInfo(versionNode(u"SOMETHING_ELSE", 0, {}, 0, {strings}).view()));

    Bytes wrongSignature;
    wrongSignature.u32(0x12345678);
    for (int i = 0; i < 12; ++i) {
        wrongSignature.u32(0);
    }
    EXPECT_FALSE(win32::parseVersionInfo(versionNode(u"VS_VERSION_INFO", 0, wrongSignature, 52, {}).view()));

    Bytes shortFixed;
    shortFixed.u32(0xFEEF04BD);
    EXPECT_FALSE(win32::parseVersionInfo(versionNode(u"VS_VERSION_INFO", 0, shortFixed, 4, {}).view()));

    // A child claiming more bytes than its parent holds.
    Bytes overlong = noFixedInfo;
    const size_t childOffset = 40;  // "VS_VERSION_INFO" node header and key, aligned
    overlong.patchU32(childOffset, 0x00000FF0);
    EXPECT_FALSE(win32::parseVersionInfo(overlong.view()));

    EXPECT_FALSE(win32::parseVersionInfo(ByteView{}));
}

TEST(ResourceBytes, EveryTruncationKeepsWholeEntriesOnly) {
    const auto resources = programResources();
    const std::vector<uint8_t>& bytes = resources->bytes;
    // Where each entry (the leading empty one included) starts and where its data ends.
    std::vector<std::pair<size_t, size_t>> spans{{0, 32}};
    for (const win32::ResourceEntry& entry : resources->index.entries) {
        spans.emplace_back(entry.offset, static_cast<size_t>(entry.data.data - bytes.data()) + entry.data.size);
    }
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        const win32::ResourceIndex index = win32::parseResourceFile(ByteView{bytes.data(), cut});
        size_t whole = 0;
        bool insideEntry = false;
        for (size_t i = 1; i < spans.size(); ++i) {
            whole += spans[i].second <= cut ? 1 : 0;
        }
        // A cut inside an entry is an error unless all that is left of the entry reads as padding.
        for (const auto& span : spans) {
            insideEntry |=
                cut > span.first && cut < span.second &&
                std::any_of(bytes.begin() + static_cast<std::ptrdiff_t>(span.first),
                            bytes.begin() + static_cast<std::ptrdiff_t>(cut), [](uint8_t b) { return b != 0; });
        }
        ASSERT_EQ(index.entries.size(), whole) << "cut at " << cut;
        ASSERT_EQ(index.ok(), !insideEntry) << "cut at " << cut;
        parseEverything(ByteView{bytes.data(), cut});
    }
}

TEST(ResourceBytes, EverySingleByteMutationIsReadSafely) {
    const auto resources = programResources();
    std::vector<uint8_t> bytes = resources->bytes;
    for (size_t position = 0; position < bytes.size(); ++position) {
        for (uint8_t flip : {uint8_t{0xFF}, uint8_t{0x80}, uint8_t{0x01}}) {
            bytes[position] ^= flip;
            parseEverything(ByteView{bytes.data(), bytes.size()});
            bytes[position] ^= flip;
        }
    }
    EXPECT_EQ(bytes, resources->bytes);
}

}  // namespace
