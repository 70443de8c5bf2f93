#pragma once

#include <string_view>

namespace tagsmith {

// The encodings a page may name, as the WHATWG Encoding Standard names them ("utf-8", "windows-1252",
// "koi8-r", "shift_jis" ...), and the labels that name them.

// The encoding a label names (leading and trailing ASCII white space and ASCII case ignored:
// "Latin1", " ISO-8859-1 " and "us-ascii" all give "windows-1252"); empty when the label names none.
std::string_view encodingOfLabel(std::string_view label);

} // namespace tagsmith
