// The SSML reader shared by the Speech Dispatcher module and sint-say -m: it
// turns a marked-up document into a flat list of pieces (text with its
// prosody, index marks, pauses and sentence boundaries). Text is converted to
// code page 1250 here, so everything after the reader deals in the server's bytes.
//
// The markup is parsed by the platform's XML parser (xml_parser.h); the reader
// decides what the elements mean. A document without a byte-order mark or an
// XML declaration is read as the content of <speak>, so plain text and a
// fragment of markup need no root element of their own. Markup that is not
// well-formed is never spoken as it stands: the document's text is read with
// everything that looks like a tag, comment or declaration removed, and the
// parser's complaint is kept for the caller to report (sint-say refuses such
// a document, sd_sint speaks the text and logs it).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sint {

// Elements nested deeper than this are read for their text only (their
// prosody and other meaning are ignored, and the document says so).
inline constexpr int kSsmlDepthMax = 64;
// A pause is cut to this length (a "99999s" break does not hang the reader's user).
inline constexpr int kSsmlBreakMaxMs = 60000;
// The pauses of one document together: breaks beyond it are cut (then dropped).
inline constexpr long kSsmlPausesMaxMs = 3600L * 1000;
// Longer mark names are cut, at a character boundary.
inline constexpr std::size_t kSsmlMarkNameMax = 256;

// Relative prosody from <prosody> elements, nested ones combined: the rate
// as a factor of the speed (see core/speaking_rate.h), pitch as a change on
// the −100..100 scale of Speech Dispatcher, volume as a factor.
struct ProsodyChange {
    double rate = 1.0;
    int pitch = 0;
    double volume = 1.0;
    bool operator==(const ProsodyChange&) const = default;
};

struct SsmlPiece {
    enum class Kind {
        Text,      // `text` (code page 1250) spoken with `prosody`, spelled when `spell`
        Mark,      // <mark name>: `text` is the name (UTF-8, control characters replaced)
        Break,     // <break>: `break_ms` of silence
        Boundary,  // start or end of <s> or <p>: no sentence runs across it
    };
    Kind kind = Kind::Text;
    std::string text;
    ProsodyChange prosody;
    bool spell = false;
    int break_ms = 0;
    bool operator==(const SsmlPiece&) const = default;
};

struct SsmlDocument {
    std::vector<SsmlPiece> pieces;
    // True when the markup was malformed and the text was read with the tags stripped.
    bool plain_fallback = false;
    // The parser's complaint about malformed markup, and where (lines and columns from 1).
    std::string error;
    long error_line = 0;
    long error_column = 0;
    // Nesting went deeper than kSsmlDepthMax.
    bool depth_limited = false;
    // A break was cut to kSsmlBreakMaxMs, or the pauses to kSsmlPausesMaxMs.
    bool pauses_limited = false;
    // Attribute values that cannot be spoken as asked (a rate that is no
    // speaking rate), one message each; the document is read without them.
    std::vector<std::string> problems;
};

// Reads an SSML document (or plain text, which is a document without tags):
// UTF-8, UTF-16 with a byte-order mark, a declared ISO-8859-2 or windows-1250,
// or 8-bit text taken as code page 1250.
SsmlDocument read_ssml(std::string_view document);

// The rates of the document's <prosody> tags that are no speaking rate, one
// message each, as read_ssml names them; found in one pass over the tags,
// without parsing, so that a caller may refuse a document before it is read.
std::vector<std::string> ssml_rate_problems(std::string_view document);

}  // namespace sint
