// The built libraries through their four exports, as a host loads them.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/guid_text.h"
#include "engine/registry_file.h"
#include "engine/speech_api.h"
#include "tests/support/temp_dir.h"

namespace sint::test {
namespace {

using CanUnloadNow = HRESULT (*)();
using GetClassObject = HRESULT (*)(REFCLSID, REFIID, void**);
using RegisterServer = HRESULT (*)();

class Library {
public:
    explicit Library(const std::string& name)
        : path_(std::string(SINT_PROGRAM_DIR) + "/lib" + name + ".so"),
          handle_(dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL)) {
        if (handle_ == nullptr) ADD_FAILURE() << dlerror();
    }
    ~Library() {
        if (handle_) dlclose(handle_);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    template <typename F>
    F get(const char* name) const {
        return reinterpret_cast<F>(dlsym(handle_, name));
    }
    bool loaded() const { return handle_ != nullptr; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    void* handle_;
};

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv(kRegistryFileVariable, registry_path.c_str(), 1); }
    void TearDown() override { ::unsetenv(kRegistryFileVariable); }

    RegistryFile registry() const {
        RegistryFile file;
        EXPECT_TRUE(file.load(registry_path));
        return file;
    }
    // The class identifier that a ProgID names in the registry file.
    std::string class_of(const std::string& prog_id) const {
        return registry().get("HKEY_CLASSES_ROOT\\" + prog_id + "\\CLSID", "").value_or("");
    }

    TempDir dir;
    std::string registry_path = dir.file("registry.reg");
};

TEST_F(ModuleTest, BothLibrariesRegisterSideBySide) {
    Library plain("MorvDll");
    Library yu("MorvDllYu");
    ASSERT_TRUE(plain.loaded() && yu.loaded());
    ASSERT_EQ(plain.get<RegisterServer>("DllRegisterServer")(), S_OK);
    ASSERT_EQ(yu.get<RegisterServer>("DllRegisterServer")(), S_OK);

    const std::string plain_class = class_of("MorvDll.TTSEngine.1");
    const std::string yu_class = class_of("MorvDllYu.TTSEngine.1");
    ASSERT_TRUE(parse_guid(plain_class));
    ASSERT_TRUE(parse_guid(yu_class));
    EXPECT_NE(plain_class, yu_class);
    EXPECT_EQ(class_of("MorvDll.TTSEngine"), plain_class);

    const RegistryFile file = registry();
    const std::string key = "HKEY_CLASSES_ROOT\\CLSID\\" + yu_class;
    EXPECT_EQ(file.get(key, ""), "MorvDllYu TTSEngine Class");
    EXPECT_EQ(file.get(key + "\\ProgID", ""), "MorvDllYu.TTSEngine.1");
    EXPECT_EQ(file.get(key + "\\VersionIndependentProgID", ""), "MorvDllYu.TTSEngine");
    EXPECT_EQ(file.get(key + "\\InprocServer32", "ThreadingModel"), "Both");
    const std::string module = file.get(key + "\\InprocServer32", "").value_or("");
    EXPECT_EQ(std::filesystem::canonical(module), std::filesystem::canonical(yu.path()));
    EXPECT_EQ(file.get("HKEY_CLASSES_ROOT\\MorvDllYu.TTSEngine\\CurVer", ""),
              "MorvDllYu.TTSEngine.1");
    const std::string library = file.get(key + "\\TypeLib", "").value_or("");
    EXPECT_EQ(file.get("HKEY_CLASSES_ROOT\\TypeLib\\" + library + "\\1.0", ""),
              "MorvDllYu 1.0 Type Library");

    // Unregistering one leaves the other intact; a second time is no error.
    ASSERT_EQ(plain.get<RegisterServer>("DllUnregisterServer")(), S_OK);
    EXPECT_EQ(plain.get<RegisterServer>("DllUnregisterServer")(), S_OK);
    EXPECT_EQ(class_of("MorvDll.TTSEngine.1"), "");
    EXPECT_FALSE(registry().has_key("HKEY_CLASSES_ROOT\\CLSID\\" + plain_class));
    EXPECT_EQ(class_of("MorvDllYu.TTSEngine.1"), yu_class);
    EXPECT_TRUE(registry().has_key(key + "\\InprocServer32"));
}

TEST_F(ModuleTest, UnregisteringLeavesNoKeyThatNamesTheModule) {
    Library plain("MorvDll");
    ASSERT_TRUE(plain.loaded());
    ASSERT_EQ(plain.get<RegisterServer>("DllRegisterServer")(), S_OK);
    const std::string key = "HKEY_CLASSES_ROOT\\CLSID\\" + class_of("MorvDll.TTSEngine");
    const std::string module = registry().get(key + "\\InprocServer32", "").value_or("");
    const std::string library = registry().get(key + "\\TypeLib", "").value_or("");
    ASSERT_FALSE(module.empty());
    ASSERT_TRUE(parse_guid(library));
    ASSERT_EQ(plain.get<RegisterServer>("DllUnregisterServer")(), S_OK);
    const std::string written = TempDir::read(registry_path);
    EXPECT_EQ(written.find(module), std::string::npos) << written;
    EXPECT_EQ(written.find(library), std::string::npos) << written;
}

// A registry that cannot be written (here: its file lies below a plain file)
// fails the registration, and the trace names the key.
TEST_F(ModuleTest, DeniedRegistryWriteFailsWithATrace) {
    Library plain("MorvDll");
    ASSERT_TRUE(plain.loaded());
    dir.write("plain", "");
    ::setenv(kRegistryFileVariable, dir.file("plain/registry.reg").c_str(), 1);
    ::setenv("SINT_ENGINE_TRACE", dir.file("trace.txt").c_str(), 1);
    const HRESULT hr = plain.get<RegisterServer>("DllRegisterServer")();
    ::unsetenv("SINT_ENGINE_TRACE");
    EXPECT_TRUE(FAILED(hr));
    EXPECT_NE(TempDir::read(dir.file("trace.txt"))
                  .find("registracija: pisanje HKEY_CLASSES_ROOT\\MorvDll.TTSEngine.1 ni uspelo"),
              std::string::npos);
}

TEST_F(ModuleTest, ClassFactoryCreatesEnginesAndHoldsTheModule) {
    for (const char* name : {"MorvDll", "MorvDllYu"}) {
        SCOPED_TRACE(name);
        Library library(name);
        ASSERT_TRUE(library.loaded());
        ASSERT_EQ(library.get<RegisterServer>("DllRegisterServer")(), S_OK);
        const auto class_id = parse_guid(class_of(std::string(name) + ".TTSEngine"));
        ASSERT_TRUE(class_id);
        const auto get_class = library.get<GetClassObject>("DllGetClassObject");
        const auto can_unload = library.get<CanUnloadNow>("DllCanUnloadNow");

        void* object = nullptr;
        EXPECT_EQ(get_class(IID_ISpTTSEngine, IID_IClassFactory, &object),
                  CLASS_E_CLASSNOTAVAILABLE);
        EXPECT_EQ(get_class(*class_id, IID_IClassFactory, nullptr), E_POINTER);
        ASSERT_EQ(get_class(*class_id, IID_IClassFactory, &object), S_OK);
        auto* factory = static_cast<IClassFactory*>(object);

        EXPECT_EQ(can_unload(), S_OK);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_ISpObjectWithToken, &object), S_OK);
        auto* engine = static_cast<ISpObjectWithToken*>(object);
        EXPECT_EQ(can_unload(), S_FALSE);
        void* speak = nullptr;
        EXPECT_EQ(engine->QueryInterface(IID_ISpTTSEngine, &speak), S_OK);
        static_cast<IUnknown*>(speak)->Release();
        engine->Release();
        EXPECT_EQ(can_unload(), S_OK);

        EXPECT_EQ(factory->LockServer(1), S_OK);
        EXPECT_EQ(can_unload(), S_FALSE);
        EXPECT_EQ(factory->LockServer(0), S_OK);
        EXPECT_EQ(can_unload(), S_OK);
        factory->Release();
    }
}

TEST(RegistryFile, ValuesWithQuotesAndBackslashesSurviveSaving) {
    TempDir dir;
    RegistryFile file;
    file.set("HKEY_CLASSES_ROOT\\A", "", "C:\\path \"quoted\"");
    file.set("HKEY_CLASSES_ROOT\\A\\B", "Name", "x=y");
    file.set("HKEY_CLASSES_ROOT\\AB", "", "kept");
    ASSERT_TRUE(file.save(dir.file("r.reg")));
    RegistryFile read;
    ASSERT_TRUE(read.load(dir.file("r.reg")));
    EXPECT_EQ(read.get("HKEY_CLASSES_ROOT\\A", ""), "C:\\path \"quoted\"");
    EXPECT_EQ(read.get("HKEY_CLASSES_ROOT\\A\\B", "Name"), "x=y");
    read.remove_tree("HKEY_CLASSES_ROOT\\A");
    EXPECT_FALSE(read.has_key("HKEY_CLASSES_ROOT\\A\\B"));
    EXPECT_TRUE(read.has_key("HKEY_CLASSES_ROOT\\AB"));
    EXPECT_TRUE(RegistryFile().load(dir.file("missing.reg")));
}

TEST(GuidText, RoundTrip) {
    const std::string text = "{C3EF0B9A-B383-4D31-9CBC-CD28E81B0611}";
    const auto guid = parse_guid(text);
    ASSERT_TRUE(guid);
    EXPECT_EQ(format_guid(*guid), text);
    EXPECT_EQ(parse_guid("c3ef0b9a-b383-4d31-9cbc-cd28e81b0611"), guid);
    EXPECT_FALSE(parse_guid("{C3EF0B9A-B383-4D31-9CBC-CD28E81B061}"));
    EXPECT_FALSE(parse_guid("{C3EF0B9AXB383-4D31-9CBC-CD28E81B0611}"));
}

}  // namespace
}  // namespace sint::test
