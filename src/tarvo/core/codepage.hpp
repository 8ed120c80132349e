// Windows-1254 (Turkish) encoding of UTF-8 text, through iconv.
#pragma once

#include <string>
#include <string_view>

namespace tarvo::core {

// `utf8` encoded in Windows-1254; ValueError when a character does not exist in that code page.
std::string encode_cp1254(std::string_view utf8);

}  // namespace tarvo::core
