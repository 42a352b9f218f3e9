// registry_lock: locks or unlocks a key below HKEY_CLASSES_ROOT for the Wine
// tests, so that a registration meets a key it may not write:
//   registry_lock lock KEY     creates KEY with an access list that lets
//                              everyone read it and no one change it
//   registry_lock unlock KEY   gives the key an open access list and removes it
// Exit status 0 on success.
// clang-format off
#include <windows.h>
#include <sddl.h>
// clang-format on

#include <cstdio>
#include <cwchar>

namespace {

// Everyone: change refused (deny ACE first), reading allowed.
constexpr const wchar_t* kLocked = L"D:P(D;OICI;KW;;;WD)(A;OICI;KR;;;WD)";
constexpr const wchar_t* kOpen = L"D:P(A;OICI;KA;;;WD)";

bool set_security(HKEY key, const wchar_t* text) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(text, SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return false;
    const LONG error = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    return error == ERROR_SUCCESS;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fputs("usage: registry_lock lock|unlock KEY\n", stderr);
        return 2;
    }
    const bool lock = std::wcscmp(argv[1], L"lock") == 0;
    HKEY key = nullptr;
    LONG error = lock ? RegCreateKeyExW(HKEY_CLASSES_ROOT, argv[2], 0, nullptr, 0,
                                        KEY_ALL_ACCESS | WRITE_DAC, nullptr, &key, nullptr)
                      : RegOpenKeyExW(HKEY_CLASSES_ROOT, argv[2], 0, WRITE_DAC, &key);
    if (error != ERROR_SUCCESS) {
        std::fprintf(stderr, "registry_lock: cannot open the key (error %ld)\n", error);
        return 1;
    }
    const bool set = set_security(key, lock ? kLocked : kOpen);
    RegCloseKey(key);
    if (!set) {
        std::fputs("registry_lock: cannot set the access list\n", stderr);
        return 1;
    }
    if (!lock && RegDeleteTreeW(HKEY_CLASSES_ROOT, argv[2]) == ERROR_SUCCESS)
        RegDeleteKeyW(HKEY_CLASSES_ROOT, argv[2]);
    return 0;
}
