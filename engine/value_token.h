// ValueToken: a voice token that holds its string and number values in
// memory, for hosts that have no token store (the host program, tests,
// benchmarks). Unknown values answer SPERR_NOT_FOUND; the token's other
// operations are not supported. It lives as long as its owner: the reference
// count is kept but never frees it.
#pragma once

#include <algorithm>
#include <map>
#include <string>

#include "engine/read_only_token.h"

namespace sint {

class ValueToken final : public ReadOnlyToken {
public:
    std::map<WideString, WideString> strings;
    std::map<WideString, DWORD> numbers;
    ULONG references = 1;

    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    HRESULT STDMETHODCALLTYPE GetStringValue(LPCWSTR name, LPWSTR* value) override {
        const auto found = strings.find(name);
        if (found == strings.end()) return SPERR_NOT_FOUND;
        const WideString& text = found->second;
        auto* copy = static_cast<WCHAR*>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
        std::copy(text.begin(), text.end(), copy);
        copy[text.size()] = 0;
        *value = copy;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDWORD(LPCWSTR name, DWORD* value) override {
        const auto found = numbers.find(name);
        if (found == numbers.end()) return SPERR_NOT_FOUND;
        *value = found->second;
        return S_OK;
    }
};

}  // namespace sint
