#include "engine/registration.h"

#include "engine/engine_platform.h"
#include "engine/guid_text.h"
#include "engine/trace.h"

namespace sint {
namespace {

std::string root_key(const std::string& key) {
    return std::string(kClassesRoot) + "\\" + key;
}

std::string class_key(const EngineIdentity& identity) {
    return root_key("CLSID\\" + format_guid(identity.class_id));
}

void trace_failure(const char* action, const std::string& key, HRESULT hr) {
    trace("registracija: %s %s ni uspelo, 0x%08lX", action, key.c_str(),
          static_cast<unsigned long>(hr));
}

// Writes the keys one after another, traces every failure (with the key, so
// that a denied write names where) and keeps the first.
class KeyWriter {
public:
    void write(const std::string& key, const platform::RegistryValues& values) {
        keep("pisanje", key, platform::registry_write(key, values));
    }
    void remove(const std::string& key) { keep("brisanje", key, platform::registry_remove(key)); }
    HRESULT result() const { return result_; }

private:
    void keep(const char* action, const std::string& key, HRESULT hr) {
        if (FAILED(hr)) trace_failure(action, key, hr);
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

std::string type_library_description(const EngineIdentity& identity) {
    return std::string(identity.name) + " 1.0 Type Library";
}

namespace {

HRESULT write_registration(const EngineIdentity& identity, const std::string& module_path) {
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
    if (FAILED(keys.result())) return keys.result();
    const HRESULT library = platform::register_type_library(
        identity.type_library_id, type_library_description(identity), module_path);
    if (FAILED(library))
        trace_failure("pisanje", root_key("TypeLib\\" + format_guid(identity.type_library_id)),
                      library);
    return library;
}

}  // namespace

HRESULT register_engine(const EngineIdentity& identity, const std::string& module_path) {
    const platform::RegistrationLocale locale;
    const HRESULT hr = write_registration(identity, module_path);
    // A registration that failed half-way is undone: a class whose keys were
    // written would otherwise be found and loaded although the caller was
    // told that registering failed.
    if (FAILED(hr)) unregister_engine(identity);
    return hr;
}

HRESULT unregister_engine(const EngineIdentity& identity) {
    const platform::RegistrationLocale locale;
    KeyWriter keys;
    keys.remove(root_key(versioned_prog_id(identity)));
    keys.remove(root_key(prog_id(identity)));
    keys.remove(class_key(identity));
    const HRESULT library = platform::unregister_type_library(identity.type_library_id);
    if (FAILED(library))
        trace_failure("brisanje", root_key("TypeLib\\" + format_guid(identity.type_library_id)),
                      library);
    return FAILED(keys.result()) ? keys.result() : library;
}

}  // namespace sint
