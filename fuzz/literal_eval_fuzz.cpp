// The literal parser of early-monitoring codes on any text.
//
// Properties: a text is either refused with ValueError or parsed; a parsed literal written back
// as a literal parses to the same document; its codes are non-empty and distinct.
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>

#include "fuzz_check.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/value.hpp"
#include "tarvo/pipeline/dalmer/literal_eval.hpp"

namespace {

using tarvo::core::Document;
using tarvo::core::DocKind;

// `doc` as literal source text; nothing for a real that has no literal (inf).
std::optional<std::string> as_literal(const Document& doc) {
    switch (doc.kind()) {
        case DocKind::integer: return std::to_string(doc.as_int());
        case DocKind::real:
            if (!std::isfinite(doc.as_real())) return std::nullopt;
            return tarvo::core::format_double(doc.as_real());
        case DocKind::text: {
            std::string out = "'";
            for (char c : doc.as_text()) {
                const auto u = static_cast<unsigned char>(c);
                if (c == '\\' || c == '\'') {
                    out += '\\';
                    out += c;
                } else if (u < 0x20) {
                    static constexpr char kHex[] = "0123456789abcdef";
                    out += "\\x";
                    out += kHex[u >> 4];
                    out += kHex[u & 15];
                } else {
                    out += c;
                }
            }
            return out + "'";
        }
        case DocKind::list: {
            std::string out = "[";
            for (const Document& e : doc.as_list()) {
                std::optional<std::string> item = as_literal(e);
                if (!item) return std::nullopt;
                if (out.size() > 1) out += ", ";
                out += *item;
            }
            return out + "]";
        }
        default: FUZZ_CHECK(false && "literal_eval gave a kind it never makes");
    }
    return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string source(reinterpret_cast<const char*>(data), size);
    Document parsed;
    try {
        parsed = tarvo::dalmer::literal_eval(source);
    } catch (const tarvo::core::ValueError&) {
        return 0;
    }
    if (std::optional<std::string> written = as_literal(parsed)) {
        Document again;
        try {
            again = tarvo::dalmer::literal_eval(*written);
        } catch (const tarvo::core::ValueError&) {
            FUZZ_CHECK(false && "a literal written back does not parse");
        }
        FUZZ_CHECK(again == parsed);
    }
    std::unordered_set<std::string> seen;
    for (const std::string& code : tarvo::dalmer::literal_codes(parsed)) {
        FUZZ_CHECK(!code.empty());
        FUZZ_CHECK(seen.insert(code).second);
    }
    return 0;
}
