// The XML parser behind the SSML reader: a small event interface over the
// platform's parser, expat on Linux (xml_parser_expat.cpp) and XmlLite on
// Windows (xml_parser_xmllite.cpp); the build picks the file. The parser only
// parses: what the elements mean is the reader's business.
//
// Both files hold the same rules: byte-order marks and declared encodings are
// honoured (UTF-8, UTF-16, ISO-8859-2 and windows-1250 at least), a document
// type declaration is refused, so no DTD and no external entity is ever read
// and no entity can expand, and parsing takes time in proportion to the size.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sint {

struct XmlAttribute {
    std::string name;   // as written, with its prefix ("xml:lang")
    std::string value;  // UTF-8, references decoded
};

// Receives the document's content in order. Comments, processing
// instructions and the declaration are not passed on; CDATA is text.
class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    virtual void start_element(const std::string& name,
                               const std::vector<XmlAttribute>& attributes) = 0;
    virtual void end_element(const std::string& name) = 0;
    // UTF-8; a stretch of text may come in several calls.
    virtual void text(std::string_view utf8) = 0;
};

// Why a document is not well-formed, and where (line and column from 1).
struct XmlError {
    std::string message;
    long line = 0;
    long column = 0;
};

// The encoding taken for a document without a byte-order mark and without a
// declared encoding: UTF-8 (the rule of XML), or windows-1250 for 8-bit text.
enum class XmlAssumedEncoding { Utf8, Windows1250 };

// Parses the whole document, handing its content to `handler`; the error
// when it is not well-formed (the handler has then seen the part before it).
std::optional<XmlError> parse_xml(std::string_view document, XmlAssumedEncoding assumed,
                                  XmlHandler& handler);

// The code point of each byte of an 8-bit encoding that the parser does not
// know itself (ISO-8859-2 and windows-1250 and their other names), from the
// project's own code page tables; false for any other name. 0 marks a byte the
// encoding leaves unused. Shared by both parser files.
bool eight_bit_encoding(std::string_view name, char32_t (&code_points)[256]);

}  // namespace sint
