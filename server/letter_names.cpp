#include "server/letter_names.h"

#include <array>

namespace sint {
namespace {

struct LetterName {
    unsigned char letter;
    std::string_view transcription;
};

// Code page 1250: č 0xE8, ć 0xE6, đ 0xF0, š 0x9A, ž 0x9E.
constexpr LetterName kLetterNames[] = {
    {'a', "a"},
    {'b', "b@"},
    {'c', "ts@"},
    {0xE8, "tS@"},
    {0xE6, "mE:hki tS@"},
    {'d', "d@"},
    {0xF0, "dZ@"},
    {'e', "E:"},
    {'f', "f@"},
    {'g', "g@"},
    {'h', "h@"},
    {'i', "i"},
    {'j', "j@"},
    {'k', "k@"},
    {'l', "l@"},
    {'m', "m@"},
    {'n', "n@"},
    {'o', "O:"},
    {'p', "p@"},
    {'q', "ku"},
    {'r', "rr@"},
    {'s', "s@"},
    {0x9A, "S@"},
    {'t', "t@"},
    {'u', "u"},
    {'v', "v@"},
    {'w', "dvo:Ini v@"},
    {'x', "iks"},
    {'y', "ipsi:lOn"},
    {'z', "z@"},
    {0x9E, "Z@"},
    {'0', "ni:tS"},
    {'1', "E:na"},
    {'2', "dva:"},
    {'3', "tri:"},
    {'4', "Sti:ri"},
    {'5', "pe:t"},
    {'6', "Se:st"},
    {'7', "se:dEm"},
    {'8', "o:sEm"},
    {'9', "dEve:t"},
    {'~', "ti:lda"},
    {'(', "prE:tklEpaI"},
    {')', "za:klEpaI"},
    {'{', "zavi:ti prE:tklEpaI"},
    {'}', "zavi:ti za:klEpaI"},
    {'[', "Ogla:ti prE:tklEpaI"},
    {']', "Ogla:ti za:klEpaI"},
    {'@', "a:fna"},
    {'`', "krati:vEts"},
    {'^', "stre:Sitsa"},
    {'"', "narEkOva:I"},
    {'$', "do:lar"},
    {'%', "prOtsE:nt"},
    {'&', "in"},
    {',', "vE:jitsa"},
    {'.', "pi:ka"},
    {'*', "kra:t"},
    {'+', "plu:s"},
    {'/', "pOSe:Unitsa"},
    {'\\', "pOwra:tna pOSe:Unitsa"},
    {'<', "jEma:nSEOd"},
    {'>', "jEve:tSjEOd"},
    {'=', "jEEna:kO"},
    {';', "pO:tpitSjE"},
    {':', "dvo:pitSjE"},
    {'\'', "apOstro:f"},
    {'-', "mi:nus"},
    {'_', "pO:ttSrtaI"},
    {'#', "lo:Itra"},
    {'|', "pOkO:ntSnitsa"},
    {'!', "klitssa:I"},
    {'?', "Wpra:SaI"},
};

// The small letter of a capital (ASCII and the capitals Č Ć Đ Š Ž).
unsigned char small_letter(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c - 'A' + 'a');
    switch (c) {
        case 0xC8:
            return 0xE8;  // Č
        case 0xC6:
            return 0xE6;  // Ć
        case 0xD0:
            return 0xF0;  // Đ
        case 0x8A:
            return 0x9A;  // Š
        case 0x8E:
            return 0x9E;  // Ž
        default:
            return c;
    }
}

}  // namespace

std::string_view letter_transcription(unsigned char c) {
    const unsigned char small = small_letter(c);
    for (const LetterName& entry : kLetterNames)
        if (entry.letter == small) return entry.transcription;
    return ".";
}

}  // namespace sint
