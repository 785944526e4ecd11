// Tests of module handles and module resources: the embedded section, LoadStringA, module names
// and files, and a module loaded and unloaded at run time.
#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "test_resources.h"
#include "win32_resources.h"
#include "windows.h"

namespace {

std::vector<uint8_t> fileBytes(const char* path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string executablePath() {
    char path[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

std::string loadedString(HINSTANCE instance, UINT id, int bufferSize = 256) {
    std::vector<char> buffer(static_cast<size_t>(bufferSize) + 1, 'X');
    const int count = LoadStringA(instance, id, buffer.data(), bufferSize);
    EXPECT_EQ(buffer[static_cast<size_t>(count)], '\0');
    return std::string(buffer.data(), static_cast<size_t>(count));
}

// The test module, loaded for the test's duration.
class LoadedModule {
public:
    LoadedModule() : handle_(dlopen(WIN32_TEST_MODULE_PATH, RTLD_NOW | RTLD_LOCAL)) {}
    ~LoadedModule() { unload(); }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    void* symbol(const char* name) const { return dlsym(handle_, name); }
    void unload() {
        if (handle_ != nullptr) {
            dlclose(handle_);
        }
        handle_ = nullptr;
    }

private:
    void* handle_;
};

TEST(ModuleResources, SectionHoldsExactlyTheCompiledResources) {
    const auto program = win32::moduleResources(GetModuleHandleA(nullptr));
    ASSERT_TRUE(program);
    EXPECT_EQ(program->bytes, fileBytes(WIN32_TEST_PROGRAM_RES));
    EXPECT_EQ(program->path, executablePath());
    EXPECT_EQ(win32::moduleResources(nullptr), program);  // cached, and NULL means the program

    LoadedModule module;
    ASSERT_TRUE(module.loaded()) << dlerror();
    const HINSTANCE instance = win32::moduleHandleOf(module.symbol("win32TestModuleLoadString"));
    const auto moduleResources = win32::moduleResources(instance);
    ASSERT_TRUE(moduleResources);
    EXPECT_EQ(moduleResources->bytes, fileBytes(WIN32_TEST_MODULE_RES));
    EXPECT_TRUE(moduleResources->index.ok()) << moduleResources->index.error;
}

TEST(LoadString, CopiesTruncatesAndTerminatesAsWin32Does) {
    const HINSTANCE program = GetModuleHandleA(nullptr);
    EXPECT_EQ(loadedString(program, IDS_GREETING), "Hello");
    EXPECT_EQ(loadedString(nullptr, IDS_GREETING), "Hello");
    EXPECT_EQ(loadedString(program, IDS_SECOND_BLOCK), "Second block");
    // At most bufferMax - 1 characters, then the terminator.
    EXPECT_EQ(loadedString(program, IDS_SENTENCE, 10), "The quick");
    EXPECT_EQ(loadedString(program, IDS_SENTENCE, 1), "");
    const std::string sentence = "The quick brown fox jumps over the lazy dog";
    EXPECT_EQ(loadedString(program, IDS_SENTENCE, static_cast<int>(sentence.size()) + 1), sentence);
    EXPECT_EQ(loadedString(program, IDS_SENTENCE, static_cast<int>(sentence.size())), sentence.substr(0, 42));
    // UTF-16 becomes 8-bit: Latin-1 as it is, the rest as '?'.
    EXPECT_EQ(loadedString(program, IDS_ACCENTED), "caf\xe9 ?");

    // A missing string, in an existing block or without one, copies nothing.
    EXPECT_EQ(loadedString(program, IDS_UNUSED_IN_BLOCK), "");
    EXPECT_EQ(loadedString(program, IDS_NO_BLOCK), "");
    EXPECT_EQ(loadedString(program, 0xFFFFFFF0u), "");

    char untouched[4] = {'a', 'b', 'c', '\0'};
    EXPECT_EQ(LoadStringA(program, IDS_GREETING, untouched, 0), 0);
    EXPECT_STREQ(untouched, "abc");
    EXPECT_EQ(LoadStringA(program, IDS_GREETING, nullptr, 10), 0);

    char buffer[16] = "stale";
    EXPECT_EQ(LoadStringA(reinterpret_cast<HINSTANCE>(0x1000), IDS_GREETING, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(win32::loadString(program, IDS_GREETING), std::optional<std::string>("Hello"));
    EXPECT_EQ(win32::loadString(program, IDS_UNUSED_IN_BLOCK), std::nullopt);
}

TEST(ModuleHandles, NameTheProgramAndItsFile) {
    const HMODULE program = GetModuleHandleA(nullptr);
    ASSERT_NE(program, nullptr);
    EXPECT_EQ(win32::moduleHandleOf(reinterpret_cast<const void*>(&executablePath)), program);
    const std::string path = executablePath();
    const std::string baseName = path.substr(path.find_last_of('/') + 1);
    // A name without an extension means a .dll; a trailing dot means no extension.
    ASSERT_EQ(baseName.find('.'), std::string::npos);
    EXPECT_EQ(GetModuleHandleA(baseName.c_str()), nullptr);
    EXPECT_EQ(GetModuleHandleA((baseName + ".").c_str()), program);
    EXPECT_EQ(GetModuleHandleA((path + ".").c_str()), program);
    EXPECT_EQ(GetModuleHandleA("no_such_module.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleA("no_such_module"), nullptr);

    char fileName[4096];
    EXPECT_EQ(GetModuleFileNameA(nullptr, fileName, sizeof fileName), path.size());
    EXPECT_EQ(fileName, path);
    EXPECT_EQ(GetModuleFileNameA(program, fileName, sizeof fileName), path.size());
    // A buffer too small gets size - 1 characters and the answer is the buffer size.
    char small[6];
    EXPECT_EQ(GetModuleFileNameA(program, small, sizeof small), sizeof small);
    EXPECT_EQ(std::string(small), path.substr(0, 5));
    EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(0x1000), fileName, sizeof fileName), 0u);
    EXPECT_STREQ(fileName, "");

    int onTheStack = 0;
    EXPECT_EQ(win32::moduleHandleOf(&onTheStack), nullptr);
    EXPECT_EQ(win32::moduleHandleOf(nullptr), nullptr);
    EXPECT_EQ(win32::moduleResources(reinterpret_cast<HINSTANCE>(0x1000)), nullptr);
    EXPECT_FALSE(win32::loadDialogTemplate(reinterpret_cast<HINSTANCE>(0x1000), IDD_OPTIONS));
    EXPECT_FALSE(win32::loadDialogTemplate(program, IDD_MISSING));
}

TEST(ModuleHandles, LoadedModuleFindsItsOwnResourcesUntilUnloaded) {
    LoadedModule module;
    ASSERT_TRUE(module.loaded()) << dlerror();
    using LoadStringFunction = int (*)(UINT, char*, int);
    const auto moduleLoadString = reinterpret_cast<LoadStringFunction>(module.symbol("win32TestModuleLoadString"));
    ASSERT_NE(moduleLoadString, nullptr);
    const HINSTANCE instance = win32::moduleHandleOf(reinterpret_cast<const void*>(moduleLoadString));
    ASSERT_NE(instance, nullptr);
    EXPECT_NE(instance, GetModuleHandleA(nullptr));
    EXPECT_EQ(GetModuleHandleA("libwin32_test_module.so"), instance);
    EXPECT_EQ(GetModuleHandleA("LIBWIN32_TEST_MODULE.SO"), instance);  // names compare without case
    EXPECT_EQ(win32::moduleFileName(instance), WIN32_TEST_MODULE_PATH);

    // The same id means different strings in different modules.
    char text[64];
    EXPECT_EQ(moduleLoadString(IDS_GREETING, text, sizeof text), 21);
    EXPECT_STREQ(text, "Hello from the module");
    EXPECT_EQ(loadedString(instance, IDS_MODULE_ONLY), "Only in the module");
    EXPECT_EQ(loadedString(GetModuleHandleA(nullptr), IDS_MODULE_ONLY), "");
    EXPECT_EQ(loadedString(GetModuleHandleA(nullptr), IDS_GREETING), "Hello");

    const auto version = win32::readVersionInfo(instance);
    ASSERT_TRUE(version) << version.error;
    EXPECT_EQ(version->fileVersion, (std::array<uint16_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(version->fileType, static_cast<uint32_t>(VFT_DLL));
    EXPECT_EQ(version->value("FileDescription"), "Win32 stand-in test module");

    // Resources taken before unloading stay readable; the handle then names nothing.
    const auto kept = win32::moduleResources(instance);
    module.unload();
    ASSERT_EQ(dlopen(WIN32_TEST_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr);
    EXPECT_EQ(win32::moduleResources(instance), nullptr);
    EXPECT_EQ(loadedString(instance, IDS_GREETING), "");
    ASSERT_TRUE(kept);
    EXPECT_NE(kept->index.find(win32::kResourceTypeString, 1), nullptr);
}

}  // namespace
