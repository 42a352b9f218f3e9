// parse_xml over expat. Expat knows UTF-8, UTF-16 and ISO-8859-1 itself; the
// 8-bit encodings of Slovenian text come through its unknown-encoding hook
// from the project's code page tables.
#include <expat.h>

#include <algorithm>
#include <memory>

#include "tools/ssml/xml_parser.h"

namespace sint {
namespace {

// Expat is fed the document in pieces of this size (its length argument is an int).
constexpr std::size_t kFeedBytes = 1 << 20;
// Limits of entity expansion, should a declaration ever get through.
constexpr float kMaxAmplification = 10.0f;
constexpr unsigned long long kAmplificationThreshold = 64 * 1024;

struct ParseState {
    XML_Parser parser = nullptr;
    XmlHandler* handler = nullptr;
    bool doctype = false;
    std::vector<XmlAttribute> attributes;  // reused for every element
};

void XMLCALL on_start(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto& state = *static_cast<ParseState*>(data);
    state.attributes.clear();
    for (const XML_Char** a = attributes; a[0] && a[1]; a += 2)
        state.attributes.push_back({a[0], a[1]});
    state.handler->start_element(name, state.attributes);
}

void XMLCALL on_end(void* data, const XML_Char* name) {
    static_cast<ParseState*>(data)->handler->end_element(name);
}

void XMLCALL on_text(void* data, const XML_Char* text, int length) {
    static_cast<ParseState*>(data)->handler->text(
        std::string_view(text, static_cast<std::size_t>(length)));
}

// A document type declaration ends the parse: no DTD is read.
void XMLCALL on_doctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    auto& state = *static_cast<ParseState*>(data);
    state.doctype = true;
    XML_StopParser(state.parser, XML_FALSE);
}

int XMLCALL on_unknown_encoding(void*, const XML_Char* name, XML_Encoding* info) {
    char32_t code_points[256];
    if (!eight_bit_encoding(name, code_points)) return XML_STATUS_ERROR;
    for (int b = 0; b < 256; ++b)
        info->map[b] = b > 0 && code_points[b] == 0 ? -1 : static_cast<int>(code_points[b]);
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
}

}  // namespace

std::optional<XmlError> parse_xml(std::string_view document, XmlAssumedEncoding assumed,
                                  XmlHandler& handler) {
    const std::unique_ptr<std::remove_pointer_t<XML_Parser>, decltype(&XML_ParserFree)> parser(
        XML_ParserCreate(assumed == XmlAssumedEncoding::Windows1250 ? "windows-1250" : nullptr),
        &XML_ParserFree);
    if (!parser) return XmlError{"out of memory", 0, 0};
    ParseState state{parser.get(), &handler, false, {}};
    XML_SetUserData(parser.get(), &state);
    XML_SetElementHandler(parser.get(), on_start, on_end);
    XML_SetCharacterDataHandler(parser.get(), on_text);
    XML_SetStartDoctypeDeclHandler(parser.get(), on_doctype);
    XML_SetUnknownEncodingHandler(parser.get(), on_unknown_encoding, nullptr);
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
#if defined(XML_DTD) && \
    (XML_MAJOR_VERSION > 2 || (XML_MAJOR_VERSION == 2 && XML_MINOR_VERSION >= 4))
    XML_SetBillionLaughsAttackProtectionMaximumAmplification(parser.get(), kMaxAmplification);
    XML_SetBillionLaughsAttackProtectionActivationThreshold(parser.get(), kAmplificationThreshold);
#endif
    std::size_t at = 0;
    bool ok = true;
    do {
        const std::size_t size = std::min(kFeedBytes, document.size() - at);
        const bool last = at + size == document.size();
        ok = XML_Parse(parser.get(), document.data() + at, static_cast<int>(size),
                       last ? XML_TRUE : XML_FALSE) == XML_STATUS_OK;
        at += size;
    } while (ok && at < document.size());
    if (ok) return std::nullopt;
    XmlError error;
    error.message = state.doctype ? "document type declarations are not accepted"
                                  : XML_ErrorString(XML_GetErrorCode(parser.get()));
    error.line = static_cast<long>(XML_GetCurrentLineNumber(parser.get()));
    error.column = static_cast<long>(XML_GetCurrentColumnNumber(parser.get())) + 1;
    return error;
}

}  // namespace sint
