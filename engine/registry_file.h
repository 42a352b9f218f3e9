// A registry kept in a text file, for platforms without a system registry. The
// file holds keys in the ".reg" style:
//   [HKEY_CLASSES_ROOT\MorvDll.TTSEngine\CLSID]
//   @="{...}"
//   "ThreadingModel"="Both"
// with "\" and '"' inside values written as "\\" and "\"".
#pragma once

#include <map>
#include <optional>
#include <string>

namespace sint {

// The environment variable that names the registry file.
inline constexpr const char* kRegistryFileVariable = "SINT_REGISTRY_FILE";

// The registry file's path: the environment variable's value, else
// "$HOME/.sint/registry.reg", else "/tmp/sint-registry.reg".
std::string registry_file_path();

class RegistryFile {
public:
    // Value names per key; "" is the default value (written "@").
    using Values = std::map<std::string, std::string>;

    // Reads the file; a missing file is an empty registry. False when the file
    // exists but cannot be read.
    bool load(const std::string& path);
    // Writes the whole registry (to a temporary file, then renamed over it).
    bool save(const std::string& path) const;

    void create_key(const std::string& key);
    void set(const std::string& key, const std::string& name, const std::string& value);
    // Removes the key and every key below it, also when the key itself was
    // never written (only keys below it were). True when anything went.
    bool remove_tree(const std::string& key);
    bool has_key(const std::string& key) const;
    std::optional<std::string> get(const std::string& key, const std::string& name) const;

private:
    std::map<std::string, Values> keys_;
};

}  // namespace sint
