#pragma once

#include <string_view>

namespace tagsmith {

// The encodings a page may name, as the WHATWG Encoding Standard names them ("utf-8", "windows-1252",
// "koi8-r", "shift_jis" ...), and the labels that name them.

// The encoding a label names (leading and trailing ASCII white space and ASCII case ignored:
// "Latin1", " ISO-8859-1 " and "us-ascii" all give "windows-1252"); empty when the label names none.
std::string_view encodingOfLabel(std::string_view label);

// The name under which the system's iconv converts the encoding, chosen so that iconv decodes it as a
// browser does ("shift_jis" is Windows' code page 932, "euc-kr" its 949). Null for the encodings
// iconv is not asked for: UTF-8, UTF-16, windows-1252, x-user-defined and "replacement" (the label of
// encodings that a browser refuses to decode).
const char *iconvNameOf(std::string_view encoding);

} // namespace tagsmith
