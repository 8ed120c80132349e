#include "tarvo/core/codepage.hpp"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "tarvo/core/errors.hpp"

namespace tarvo::core {

namespace {

// One iconv conversion descriptor, closed when it goes out of scope.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw OSError(std::string("iconv cannot convert from ") + from + " to " + to + ": " + std::strerror(errno));
    }
    ~Converter() { ::iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts the whole of `in` into `out`. Returns the offset in `in` of the first byte that
    // cannot be converted, or nothing when every byte was.
    std::optional<size_t> convert(std::string_view in, std::string& out) {
        out.resize(in.size() + in.size() / 2 + 16);
        char* src = const_cast<char*>(in.data());
        size_t src_left = in.size();
        size_t done = 0;
        while (src_left > 0) {
            char* dst = out.data() + done;
            size_t dst_left = out.size() - done;
            const size_t rc = ::iconv(cd_, &src, &src_left, &dst, &dst_left);
            done = out.size() - dst_left;
            if (rc != static_cast<size_t>(-1)) break;
            if (errno != E2BIG) return static_cast<size_t>(src - in.data());
            out.resize(out.size() * 2);
        }
        out.resize(done);
        return std::nullopt;
    }

private:
    iconv_t cd_;
};

}  // namespace

std::string encode_cp1254(std::string_view utf8) {
    std::string out;
    if (Converter("CP1254", "UTF-8").convert(utf8, out)) throw ValueError("text not representable in Windows-1254");
    return out;
}

namespace {

[[noreturn]] void undecodable(std::string_view bytes, size_t bad, uint64_t position) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02x", static_cast<unsigned char>(bytes[bad]));
    throw UnicodeDecodeError(std::string("'cp1254' codec can't decode byte ") + hex + " in position " +
                             std::to_string(position + bad));
}

}  // namespace

void decode_cp1254_append(std::string_view bytes, uint64_t position, std::string& out) {
    std::string piece;
    if (const std::optional<size_t> bad = Converter("UTF-8", "CP1254").convert(bytes, piece))
        undecodable(bytes, *bad, position);
    out += piece;
}

std::string decode_cp1254(std::string_view bytes) {
    std::string out;
    if (const std::optional<size_t> bad = Converter("UTF-8", "CP1254").convert(bytes, out)) undecodable(bytes, *bad, 0);
    return out;
}

}  // namespace tarvo::core
