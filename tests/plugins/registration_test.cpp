// What the loaded modules tell the host: library functions, descriptors, export and import
// objects, and the entry point's one-time work.
#include <dlfcn.h>

#include <cstring>

#include <win32_resources.h>

#include "plugin_harness.h"

namespace {

template <typename Function>
Function librarySymbol(const host::PluginModule& module, const char* name) {
    void* handle = dlopen(module.path().c_str(), RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(handle, nullptr);
    auto function = reinterpret_cast<Function>(dlsym(handle, name));
    dlclose(handle);
    return function;
}

}  // namespace

// Before the loader has called the entry point, a module knows no instance handle and so
// loads no string.
TEST(ModuleBeforeItsEntryPoint, AnswersNoStrings) {
    for (const char* file : {"Brindlark.dle", "Corvinale.dli"}) {
        void* handle = dlopen((std::string(QMP_PLUGIN_DIR) + "/" + file).c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        const auto description = reinterpret_cast<const TCHAR* (*)()>(dlsym(handle, "LibDescription"));
        ASSERT_NE(description, nullptr);
        EXPECT_EQ(description(), nullptr) << file;
        const auto classDesc = reinterpret_cast<ClassDesc* (*)(int)>(dlsym(handle, "LibClassDesc"));
        EXPECT_EQ(classDesc(0)->ClassName(), nullptr);
        // Nothing but the entry point and the four library functions is visible.
        EXPECT_EQ(dlsym(handle, "_Z18loadResourceStringi"), nullptr);
        EXPECT_EQ(dlsym(handle, "exportOptions"), nullptr);
        dlclose(handle);
    }
}

TEST_F(PluginTest, ExporterRegistration) {
    const host::PluginModule& brindlark = module("Brindlark.dle");
    EXPECT_EQ(brindlark.version(), 0x0BB80700u);
    EXPECT_EQ(brindlark.description(), "Quake III Arena MD3 model format exporter");
    EXPECT_EQ(brindlark.classCount(), 1);
    EXPECT_EQ(librarySymbol<ClassDesc* (*)(int)>(brindlark, "LibClassDesc")(1), nullptr);

    ClassDesc* descriptor = brindlark.descriptor();
    EXPECT_EQ(descriptor->IsPublic(), 1);
    EXPECT_STREQ(descriptor->ClassName(), "Brindlark");
    EXPECT_STREQ(descriptor->Category(), "Quake .MD3 export");
    EXPECT_STREQ(descriptor->InternalName(), "Brindlark");
    EXPECT_EQ(descriptor->SuperClassID(), static_cast<SClass_ID>(0xA20));
    EXPECT_EQ(descriptor->ClassID(), Class_ID(0x35A0CC95, 0x7098CBF0));
    EXPECT_EQ(descriptor->HInstance(), brindlark.instance());
    EXPECT_EQ(descriptor->InitialRollupPageState(), 0x7FFFFFFFu);
    EXPECT_EQ(descriptor->NumParamBlockDescs(), 0);

    std::unique_ptr<ExportPluginInterface> plugin = exporter();
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin->ExtCount(), 1);
    for (int index : {0, 1, 7}) {
        EXPECT_STREQ(plugin->Ext(index), "MD3");
    }
    EXPECT_STREQ(plugin->LongDesc(), "Quake III Arena Model File");
    EXPECT_STREQ(plugin->ShortDesc(), "Quake III");
    EXPECT_STREQ(plugin->AuthorName(), "Tallowby");
    EXPECT_STREQ(plugin->OtherMessage1(), "");
    EXPECT_STREQ(plugin->OtherMessage2(), "");
    EXPECT_EQ(plugin->Version(), 100u);

    // Only the selected-only request is supported; a wrong extension index is reported.
    EXPECT_EQ(plugin->SupportsOptions(0, 0), FALSE);
    EXPECT_EQ(plugin->SupportsOptions(0, 1), TRUE);
    EXPECT_EQ(plugin->SupportsOptions(0, 3), FALSE);
    EXPECT_TRUE(desktop.assertions.empty());
    EXPECT_EQ(plugin->SupportsOptions(1, 1), TRUE);
    ASSERT_EQ(desktop.assertions.size(), 1u);
    EXPECT_EQ(desktop.assertions[0].line, 291);
    EXPECT_EQ(desktop.assertions[0].file, "Brindlark");

    const auto version = win32::readVersionInfo(brindlark.instance());
    ASSERT_TRUE(version);
    EXPECT_EQ(version.value->value("OriginalFilename"), "Brindlark.dle");
    EXPECT_EQ(version.value->value("CompanyName"), "Tallowby");
    EXPECT_EQ(version.value->value("ProductName"), "3D Studio MAX");
    EXPECT_EQ(version.value->fileVersion, (std::array<uint16_t, 4>{3, 0, 0, 0}));
}

TEST_F(PluginTest, ImporterRegistration) {
    const host::PluginModule& corvinale = module("Corvinale.dli");
    EXPECT_EQ(corvinale.version(), 0x0BB80700u);
    EXPECT_EQ(corvinale.description(), "Quake III Arena Model Loader");
    EXPECT_EQ(corvinale.classCount(), 1);
    EXPECT_EQ(librarySymbol<ClassDesc* (*)(int)>(corvinale, "LibClassDesc")(1), nullptr);

    ClassDesc* descriptor = corvinale.descriptor();
    EXPECT_STREQ(descriptor->ClassName(), "Corvinale");
    EXPECT_STREQ(descriptor->Category(), "File Import");
    EXPECT_STREQ(descriptor->InternalName(), "Corvinalx");
    EXPECT_EQ(descriptor->SuperClassID(), static_cast<SClass_ID>(0xA10));
    EXPECT_EQ(descriptor->ClassID(), Class_ID(0x081D969C, 0x470CA8B6));
    EXPECT_EQ(descriptor->HInstance(), corvinale.instance());

    std::unique_ptr<ImportPluginInterface> plugin = importer();
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin->ExtCount(), 2);
    EXPECT_STREQ(plugin->Ext(0), "MD2");
    EXPECT_STREQ(plugin->Ext(1), "MD3");
    EXPECT_STREQ(plugin->Ext(2), "MD2");
    EXPECT_STREQ(plugin->LongDesc(), "Quake II/III Model File");
    EXPECT_STREQ(plugin->ShortDesc(), "Quake II/III");
    EXPECT_STREQ(plugin->CopyrightMessage(), "");
    EXPECT_EQ(plugin->Version(), 100u);
    EXPECT_EQ(plugin->ZoomExtents(), -1);
}

TEST_F(PluginTest, EntryPointInitialisesControlsOnlyOnce) {
    EXPECT_TRUE(win32::commonControlsInitialized());
    const int before = CustomControlsInitCount();
    for (const auto& loaded : catalogue.modules()) {
        const auto entry = librarySymbol<BOOL (*)(HINSTANCE, ULONG, LPVOID)>(*loaded, "DllMain");
        EXPECT_EQ(entry(loaded->instance(), DLL_THREAD_ATTACH, nullptr), TRUE);
        EXPECT_EQ(loaded->descriptor()->HInstance(), loaded->instance());  // stored again
    }
    EXPECT_EQ(CustomControlsInitCount(), before);
}

TEST_F(PluginTest, LoaderRefusesWhatIsNotAPluginModule) {
    const std::string fake = path("Fake.dle");
    writeFileBytes(fake, {'n', 'o', 't', ' ', 'E', 'L', 'F'});
    host::PluginCatalogue other;
    EXPECT_FALSE(other.loadModule(fake));
    ASSERT_EQ(other.errors().size(), 1u);
    EXPECT_NE(other.errors()[0].find("Fake.dle"), std::string::npos);
    EXPECT_TRUE(other.modules().empty());
    EXPECT_EQ(other.createExporter("md3"), nullptr);
}
