// The SSML reader's helpers for bytes that the XML parser does not take: how
// a document's bytes are to be read, and the text of markup that is not
// well-formed, read without a parser in one pass.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/ssml/ssml_reader.h"
#include "tools/ssml/xml_parser.h"

namespace sint {

// The encoding named in an XML declaration at the start of the document, or empty.
std::string declared_encoding(std::string_view document);

// The encoding the parser is to assume: UTF-8 for a document with a byte-order
// mark or a declared encoding (the parser follows them), else UTF-8 unless the bytes hold no UTF-8
// sequence of more than one byte and are not valid UTF-8 (8-bit text, windows-1250).
XmlAssumedEncoding assumed_encoding(std::string_view document);

// The document in UTF-8: byte-order marks (UTF-8, UTF-16) and a declared
// 8-bit encoding honoured, else as assumed_encoding() says; bytes that are
// not valid in the encoding are dropped.
std::string document_utf8(std::string_view document);

// The text of UTF-8 markup read without a parser: elements, comments,
// processing instructions and declarations removed (a '<' that starts none of
// them is text), references decoded, and a boundary where a <p>, <s> or
// <break> stood. Text pieces stay in UTF-8.
std::vector<SsmlPiece> text_without_markup(std::string_view utf8);

}  // namespace sint
