#pragma once

#include "engine/PageText.h"
#include "engine/Utf8.h"

#include <cstddef>
#include <optional>
#include <string_view>

namespace tagsmith {

// How many leading bytes of a page may declare its charset.
inline constexpr std::size_t DeclarationWindow = 1024;

// The encoding a page declares for itself: a UTF-8 byte-order mark, or a charset named by a META tag
// (<meta charset=...> or an http-equiv content type, any case) within its first 1024 bytes. A
// declared charset other than UTF-8 counts as Windows-1252. No declaration gives nullopt.
std::optional<PageEncoding> declaredEncoding(std::string_view pageStart);

// Length of the UTF-8 byte-order mark at the start of a page (0 or 3).
std::size_t byteOrderMarkLength(std::string_view pageStart);

// The encoding a page is read and written in: its declaration when it has one, else UTF-8 when the
// whole page passed the check, else Windows-1252.
PageEncoding decideEncoding(std::optional<PageEncoding> declared, const Utf8Check &check);

} // namespace tagsmith
