// Windows-1254 (Turkish) text to and from UTF-8, through iconv. Both directions are strict: a
// character the target cannot hold is an error, never replaced or dropped.
#pragma once

#include <string>
#include <string_view>

namespace tarvo::core {

// `utf8` encoded in Windows-1254; ValueError when a character does not exist in that code page.
std::string encode_cp1254(std::string_view utf8);

// `bytes` decoded from Windows-1254 to UTF-8. A byte the code page does not define throws
// UnicodeDecodeError "'cp1254' codec can't decode byte 0x81 in position 2" (its offset in `bytes`).
std::string decode_cp1254(std::string_view bytes);

}  // namespace tarvo::core
