#pragma once

#include "engine/encoding/PageText.h"
#include "engine/encoding/Utf8.h"

#include <cstddef>
#include <string_view>

namespace tagsmith {

// How many leading bytes of a page may declare its charset.
inline constexpr std::size_t DeclarationWindow = 1024;

// The encoding a page declares for itself, as a browser reads a file that comes without transport
// information (the HTML standard's encoding sniffing): a byte-order mark (UTF-8, UTF-16LE,
// UTF-16BE); else the prescan of its first 1024 bytes. The prescan skips comments and reads the
// attributes of each tag as a browser does; only a META tag with a charset attribute, or with an
// http-equiv of content-type and a content that holds "charset=", declares, and only with a label
// that names an encoding. A declared UTF-16 means UTF-8 (such a tag could not have been read in
// UTF-16), x-user-defined means windows-1252. A page that starts with an XML declaration and declares
// nothing else takes the declaration's encoding. Returns the encoding's name ("utf-8",
// "windows-1252", "utf-16le", "koi8-r" ...), empty when the page declares none.
std::string_view declaredEncoding(std::string_view pageStart);

// Only the prescan (no byte-order mark), for tests.
std::string_view prescanEncoding(std::string_view pageStart);

// How a page in the named encoding is read and written.
PageEncoding pageEncodingOf(std::string_view encoding);

// The encoding a page is read and written in: its declaration when it has one, else UTF-8 when the
// whole page passed the check, else Windows-1252.
PageEncoding decideEncoding(std::string_view declared, const Utf8Check &check);

} // namespace tagsmith
