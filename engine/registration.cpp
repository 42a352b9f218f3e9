#include "engine/registration.h"

#include "engine/engine_platform.h"
#include "engine/guid_text.h"

namespace sint {
namespace {

std::string root_key(const std::string& key) {
    return std::string(kClassesRoot) + "\\" + key;
}

std::string class_key(const EngineIdentity& identity) {
    return root_key("CLSID\\" + format_guid(identity.class_id));
}

std::string type_library_key(const EngineIdentity& identity) {
    return root_key("TypeLib\\" + format_guid(identity.type_library_id));
}

std::string folder_of(const std::string& path) {
    const std::size_t last = path.find_last_of("\\/");
    return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

// Writes the keys one after another and keeps the first failure.
class KeyWriter {
public:
    void write(const std::string& key, const platform::RegistryValues& values) {
        keep(platform::registry_write(key, values));
    }
    void remove(const std::string& key) { keep(platform::registry_remove(key)); }
    HRESULT result() const { return result_; }

private:
    void keep(HRESULT hr) {
        if (SUCCEEDED(result_) && FAILED(hr)) result_ = hr;
    }
    HRESULT result_ = S_OK;
};

}  // namespace

std::string versioned_prog_id(const EngineIdentity& identity) {
    return std::string(identity.name) + ".TTSEngine.1";
}

std::string prog_id(const EngineIdentity& identity) {
    return std::string(identity.name) + ".TTSEngine";
}

std::string class_description(const EngineIdentity& identity) {
    return std::string(identity.name) + " TTSEngine Class";
}

HRESULT register_engine(const EngineIdentity& identity, const std::string& module_path) {
    const std::string description = class_description(identity);
    const std::string class_id = format_guid(identity.class_id);
    const std::string versioned = versioned_prog_id(identity);
    const std::string plain = prog_id(identity);
    KeyWriter keys;
    keys.write(root_key(versioned), {{"", description}});
    keys.write(root_key(versioned + "\\CLSID"), {{"", class_id}});
    keys.write(root_key(plain), {{"", description}});
    keys.write(root_key(plain + "\\CLSID"), {{"", class_id}});
    keys.write(root_key(plain + "\\CurVer"), {{"", versioned}});
    // The class key is rebuilt from scratch; "CLSID" itself stays.
    const std::string clsid = class_key(identity);
    keys.remove(clsid);
    keys.write(clsid, {{"", description}});
    keys.write(clsid + "\\ProgID", {{"", versioned}});
    keys.write(clsid + "\\VersionIndependentProgID", {{"", plain}});
    keys.write(clsid + "\\InprocServer32", {{"", module_path}, {"ThreadingModel", "Both"}});
    keys.write(clsid + "\\TypeLib", {{"", format_guid(identity.type_library_id)}});
    // The type library's own registration.
    const std::string library = type_library_key(identity) + "\\1.0";
    keys.write(library, {{"", std::string(identity.name) + " 1.0 Type Library"}});
    keys.write(library + "\\0\\win32", {{"", module_path}});
    keys.write(library + "\\FLAGS", {{"", "0"}});
    keys.write(library + "\\HELPDIR", {{"", folder_of(module_path)}});
    return keys.result();
}

HRESULT unregister_engine(const EngineIdentity& identity) {
    KeyWriter keys;
    keys.remove(root_key(versioned_prog_id(identity)));
    keys.remove(root_key(prog_id(identity)));
    keys.remove(class_key(identity));
    keys.remove(type_library_key(identity));
    return keys.result();
}

}  // namespace sint
