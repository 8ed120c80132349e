// Windows-1254 (Turkish) text to and from UTF-8, through iconv (decoding looks each byte up in a
// table made once through it). Both directions are strict: a character the target cannot hold is
// an error, never replaced or dropped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvo::core {

// `utf8` encoded in Windows-1254; ValueError when a character does not exist in that code page.
std::string encode_cp1254(std::string_view utf8);

// `bytes` decoded from Windows-1254 to UTF-8. A byte the code page does not define throws
// UnicodeDecodeError "'cp1254' codec can't decode byte 0x81 in position 2" (its offset in `bytes`).
std::string decode_cp1254(std::string_view bytes);

// Appends the decoding of `bytes` to `out`, for a text decoded a piece at a time (every byte is one
// character, so a text can be cut anywhere). `position` is the offset of bytes[0] in the whole
// text, which the UnicodeDecodeError names as decode_cp1254 does.
void decode_cp1254_append(std::string_view bytes, uint64_t position, std::string& out);

}  // namespace tarvo::core
