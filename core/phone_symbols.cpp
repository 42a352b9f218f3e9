#include "core/phone_symbols.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/log.h"

namespace sint {

const PhoneSymbol PhoneSymbolTable[kPhoneSymbolCount] = {
    {" ", ' '},  {"_", ' '},  {"@", '@'},  {"@:", '%'}, {"E", 'E'}, {"E:", '3'}, {"I", 'I'},
    {"O", 'O'},  {"O:", '0'}, {"S", 'S'},  {"U", 'U'},  {"Z", 'Z'}, {"a", 'a'},  {"a:", 'A'},
    {"b", 'b'},  {"d", 'd'},  {"e:", 'e'}, {"f", 'f'},  {"g", 'g'}, {"h", 'h'},  {"i", 'i'},
    {"i:", '1'}, {"j", 'j'},  {"k", 'k'},  {"l", 'l'},  {"m", 'm'}, {"n", 'n'},  {"o:", 'o'},
    {"p", 'p'},  {"r", 'r'},  {"s", 's'},  {"t", 't'},  {"u", 'u'}, {"u:", '9'}, {"v", 'v'},
    {"w", 'w'},  {"W", 'W'},  {"z", 'z'},  {"-", '-'},  {"=", '='},
};

namespace {

struct SymbolCell {
    char sampa[3] = {};
    char byte[2] = {};
};

// 128 x 128 cells by the first and second SAMPA character (0 for one character).
std::array<std::array<SymbolCell, 128>, 128> sampa_cells;
// 128 cells by the one-byte symbol.
std::array<SymbolCell, 128> byte_cells;

const char kEmpty[] = "";

unsigned low7(char c) {
    return static_cast<unsigned char>(c) & 0x7F;
}

const SymbolCell& sampa_cell(std::string_view sampa) {
    const unsigned second = sampa.size() > 1 ? low7(sampa[1]) : 0;
    return sampa_cells[low7(sampa[0])][second];
}

}  // namespace

void build_symbol_tables() {
    sampa_cells = {};
    byte_cells = {};
    for (const PhoneSymbol& row : PhoneSymbolTable) {
        SymbolCell cell;
        std::strncpy(cell.sampa, row.sampa, 2);
        cell.byte[0] = row.byte;
        const unsigned second = row.sampa[1] != '\0' ? low7(row.sampa[1]) : 0;
        sampa_cells[low7(row.sampa[0])][second] = cell;
        byte_cells[low7(row.byte)] = cell;  // a later row wins a shared byte
    }
}

const char* sampa_to_byte(std::string_view sampa) {
    if (sampa.size() == 1 || sampa.size() == 2) {
        const SymbolCell& cell = sampa_cell(sampa);
        if (cell.byte[0] != '\0') return cell.byte;
    }
    char message[64];
    std::snprintf(message, sizeof message, "Znak <%.*s> ni SAMPA simbol!",
                  static_cast<int>(std::min<std::size_t>(sampa.size(), 32)), sampa.data());
    log_write(message);
    return kEmpty;
}

bool is_sampa_string(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (pos + 1 < text.size() && sampa_cell(text.substr(pos, 2)).byte[0] != '\0') {
            pos += 2;
        } else if (sampa_cell(text.substr(pos, 1)).byte[0] != '\0') {
            pos += 1;
        } else {
            return false;
        }
    }
    return true;
}

const char* byte_to_sampa(char symbol) {
    const SymbolCell& cell = byte_cells[low7(symbol)];
    if (cell.sampa[0] != '\0') return cell.sampa;
    if (symbol != '$' && symbol != '#') {
        char message[64];
        std::snprintf(message, sizeof message, "Character <%c> is not a valid 1B symbol!", symbol);
        log_write(message);
    }
    return kEmpty;
}

}  // namespace sint
