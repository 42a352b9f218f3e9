// The SSML reader shared by the Speech Dispatcher module and sint-say -m: it
// turns a marked-up UTF-8 document into a flat list of pieces (text with its
// prosody, index marks, pauses and sentence boundaries). Text is converted to
// code page 1250 here, so everything after the reader deals in the server's bytes.
//
// Malformed markup (a tag that does not close, end tags that do not match,
// nesting deeper than kSsmlDepthMax) is never an error: the document is then
// read as plain text with everything that looks like a tag removed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sint {

// Deeper nesting than this is taken as malformed markup.
inline constexpr int kSsmlDepthMax = 64;
// A pause is cut to this length (a "99999s" break does not hang the reader's user).
inline constexpr int kSsmlBreakMaxMs = 10000;
// Longer mark names are cut.
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
    // Attribute values that cannot be spoken as asked (a rate that is no
    // speaking rate), one message each; the document is read without them.
    std::vector<std::string> problems;
};

// Reads an SSML document (or plain text, which is a document without tags).
SsmlDocument read_ssml(std::string_view document);

// The text of a document without its markup: tags removed, entities decoded.
std::string strip_markup(std::string_view document);

}  // namespace sint
