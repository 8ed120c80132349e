#include "tarvo/core/codepage.hpp"

#include <iconv.h>

#include "tarvo/core/errors.hpp"

namespace tarvo::core {

std::string encode_cp1254(std::string_view utf8) {
    iconv_t cd = ::iconv_open("CP1254", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw OSError("iconv cannot convert to CP1254");
    // Every character takes at most as many bytes in Windows-1254 as in UTF-8.
    std::string out(utf8.size() + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t in_left = utf8.size();
    char* dst = out.data();
    size_t dst_left = out.size();
    const size_t rc = ::iconv(cd, &in, &in_left, &dst, &dst_left);
    ::iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) throw ValueError("text not representable in Windows-1254");
    out.resize(out.size() - dst_left);
    return out;
}

}  // namespace tarvo::core
