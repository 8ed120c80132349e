#include "tarvo/core/codepage.hpp"

#include <iconv.h>

#include <algorithm>
#include <array>
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

// Every byte is one character, so each byte's UTF-8 text is worked out once, through iconv (the
// table is the system's own code page), and a text is decoded by looking its bytes up: iconv
// called on an extract's megabytes was a twentieth of an ingest.
struct ByteTable {
    std::array<std::array<char, 4>, 256> utf8{};
    std::array<uint8_t, 256> size{};  // 0: the code page does not define the byte
};

const ByteTable& cp1254_bytes() {
    static const ByteTable table = [] {
        ByteTable t;
        Converter converter("UTF-8", "CP1254");
        std::string text;
        for (int b = 0; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            if (converter.convert(std::string_view(&byte, 1), text) || text.size() > 4) continue;
            std::copy(text.begin(), text.end(), t.utf8[static_cast<size_t>(b)].begin());
            t.size[static_cast<size_t>(b)] = static_cast<uint8_t>(text.size());
        }
        return t;
    }();
    return table;
}

}  // namespace

void decode_cp1254_append(std::string_view bytes, uint64_t position, std::string& out) {
    const ByteTable& table = cp1254_bytes();
    const size_t before = out.size();
    size_t run = 0;  // start of the pending run of ASCII bytes, which stand for themselves
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80 && table.size[b] == 1) continue;
        out.append(bytes.data() + run, i - run);
        run = i + 1;
        if (table.size[b] == 0) {
            out.resize(before);
            undecodable(bytes, i, position);
        }
        out.append(table.utf8[b].data(), table.size[b]);
    }
    out.append(bytes.data() + run, bytes.size() - run);
}

std::string decode_cp1254(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    decode_cp1254_append(bytes, 0, out);
    return out;
}

}  // namespace tarvo::core
