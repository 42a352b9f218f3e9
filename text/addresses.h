// Addresses: e-mail and web addresses read out as a Slovenian reader says
// them, by the character conversion before anything splits them at their dots.
// "info@primer.si" becomes "info afna primer pika si", "www.primer.si/kontakt"
// "ve ve ve pika primer pika si poševnica kontakt"; "http" and "https" are
// spelled, ".com" is "pika kom", a two-letter top-level domain is spelled
// unless the symbol table names it (".si" is "pika si"). A dot or other mark
// that ends the address's sentence is not part of it. The marks and letters
// are said by their names in the symbol table; one without a name is not said.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/symbol_names.h"

namespace sint {

// When an address starts at `begin` of the raw input (code page 1250), writes
// its spoken form in the internal letter codes to `spoken`, sets `end` past
// it and returns true. `email` allows e-mail addresses ("@" is a letter code
// when 7-bit input is on). A host name without "www." or a scheme before it is
// an address when its top-level domain is one of `domains` ("primer.si").
bool read_address(std::string_view in, std::size_t begin, bool email, const SymbolNames& names,
                  const std::vector<std::string>& domains, std::string& spoken, std::size_t& end);

}  // namespace sint
