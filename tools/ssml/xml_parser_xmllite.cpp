// parse_xml over the system's XmlLite. The DLL is loaded at run time (it is
// part of every Windows since XP SP3; mingw-w64 ships no import library for
// it). A document type declaration is refused by the reader's DTD setting;
// declared 8-bit encodings are turned into UTF-16 by this file from the
// project's code page tables before XmlLite sees the document.
#include <objbase.h>
#include <shlwapi.h>
#include <windows.h>
#include <xmllite.h>

#include <cstdio>
#include <string>

#include "core/cp1250.h"
#include "tools/ssml/ssml_text.h"
#include "tools/ssml/xml_parser.h"

namespace sint {
namespace {

using CreateReader = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);
using CreateInputWithEncoding = HRESULT(WINAPI*)(IUnknown*, IMalloc*, LPCWSTR, BOOL, LPCWSTR,
                                                 IXmlReaderInput**);

// {7279FC81-709D-4095-B63D-69FE4B0D9030}
constexpr IID kIidXmlReader = {
    0x7279FC81, 0x709D, 0x4095, {0xB6, 0x3D, 0x69, 0xFE, 0x4B, 0x0D, 0x90, 0x30}};

template <typename T>
struct Released {
    T* p = nullptr;
    ~Released() {
        if (p) p->Release();
    }
};

std::string utf8_of(const WCHAR* text, UINT length) {
    std::string out;
    out.reserve(length);
    for (UINT i = 0; i < length; ++i) {
        char32_t c = static_cast<char16_t>(text[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char16_t>(text[++i]) - 0xDC00);
        append_utf8(out, c);
    }
    return out;
}

// The document in UTF-16, with its declaration's encoding named UTF-16, for an
// 8-bit encoding of the project's tables (the declaration keeps its length
// apart from the name, so line and column stay right).
bool widen(std::string_view document, const std::string& encoding, bool declared,
           std::wstring& wide) {
    char32_t code_points[256];
    if (!eight_bit_encoding(encoding, code_points)) return false;
    wide.reserve(document.size() + 1);
    wide.push_back(0xFEFF);
    for (const char c : document) {
        const char32_t cp = code_points[static_cast<unsigned char>(c)];
        wide.push_back(static_cast<wchar_t>(cp == 0 && c != 0 ? 0xFFFD : cp));
    }
    if (declared) {
        const std::size_t name = wide.find(std::wstring(encoding.begin(), encoding.end()));
        if (name != std::wstring::npos) wide.replace(name, encoding.size(), L"UTF-16");
    }
    return true;
}

struct XmlLite {
    CreateReader create_reader = nullptr;
    CreateInputWithEncoding create_input = nullptr;
    XmlLite() {
        if (HMODULE dll = LoadLibraryW(L"xmllite.dll")) {
            create_reader = reinterpret_cast<CreateReader>(
                reinterpret_cast<void*>(GetProcAddress(dll, "CreateXmlReader")));
            create_input = reinterpret_cast<CreateInputWithEncoding>(reinterpret_cast<void*>(
                GetProcAddress(dll, "CreateXmlReaderInputWithEncodingName")));
        }
    }
};

XmlError error_at(IXmlReader* reader, const char* what, HRESULT hr) {
    XmlError error;
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    error.message = std::string(what) + " (XmlLite " + code + ")";
    UINT line = 0, column = 0;
    if (reader) {
        reader->GetLineNumber(&line);
        reader->GetLinePosition(&column);
    }
    error.line = static_cast<long>(line);
    error.column = static_cast<long>(column);
    return error;
}

}  // namespace

std::optional<XmlError> parse_xml(std::string_view document, XmlAssumedEncoding assumed,
                                  XmlHandler& handler) {
    static const XmlLite xmllite;
    if (!xmllite.create_reader || !xmllite.create_input)
        return XmlError{"xmllite.dll cannot be loaded", 0, 0};
    std::wstring wide;
    const std::string declared = declared_encoding(document);
    const bool assumed_8bit = declared.empty() && assumed == XmlAssumedEncoding::Windows1250;
    const bool widened =
        widen(document, assumed_8bit ? "windows-1250" : declared, !assumed_8bit, wide);
    const BYTE* bytes = widened ? reinterpret_cast<const BYTE*>(wide.data())
                                : reinterpret_cast<const BYTE*>(document.data());
    const UINT size = static_cast<UINT>(widened ? wide.size() * sizeof(wchar_t) : document.size());
    Released<IStream> stream{SHCreateMemStream(bytes, size)};
    if (!stream.p) return XmlError{"out of memory", 0, 0};
    Released<IXmlReader> reader;
    if (FAILED(xmllite.create_reader(kIidXmlReader, reinterpret_cast<void**>(&reader.p), nullptr)))
        return XmlError{"XmlLite has no reader", 0, 0};
    reader.p->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
    Released<IXmlReaderInput> input;
    HRESULT hr = xmllite.create_input(stream.p, nullptr, widened ? L"UTF-16" : L"UTF-8", FALSE,
                                      nullptr, &input.p);
    if (SUCCEEDED(hr)) hr = reader.p->SetInput(input.p);
    if (FAILED(hr)) return error_at(reader.p, "the document cannot be read", hr);
    XmlNodeType type;
    std::vector<XmlAttribute> attributes;
    while ((hr = reader.p->Read(&type)) == S_OK) {
        const WCHAR* text = nullptr;
        UINT length = 0;
        switch (type) {
            case XmlNodeType_Element: {
                reader.p->GetQualifiedName(&text, &length);
                const std::string name = utf8_of(text, length);
                const bool empty = reader.p->IsEmptyElement();
                attributes.clear();
                for (HRESULT a = reader.p->MoveToFirstAttribute(); a == S_OK;
                     a = reader.p->MoveToNextAttribute()) {
                    XmlAttribute attribute;
                    reader.p->GetQualifiedName(&text, &length);
                    attribute.name = utf8_of(text, length);
                    reader.p->GetValue(&text, &length);
                    attribute.value = utf8_of(text, length);
                    attributes.push_back(std::move(attribute));
                }
                handler.start_element(name, attributes);
                if (empty) handler.end_element(name);
                break;
            }
            case XmlNodeType_EndElement:
                reader.p->GetQualifiedName(&text, &length);
                handler.end_element(utf8_of(text, length));
                break;
            case XmlNodeType_Text:
            case XmlNodeType_CDATA:
            case XmlNodeType_Whitespace:
                reader.p->GetValue(&text, &length);
                handler.text(utf8_of(text, length));
                break;
            default:
                break;
        }
    }
    if (FAILED(hr)) return error_at(reader.p, "not well-formed", hr);
    return std::nullopt;
}

}  // namespace sint
