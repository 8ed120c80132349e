// The JSON writer on documents built from the fuzzer's bytes.
//
// Properties, for both styles (indented and compact): the output parses as JSON (with the bare
// NaN / Infinity tokens); the parsed document equals the one written (a row table comes back as
// its list of mappings; NaN is compared by writing again); writing the parsed document again
// gives the same text.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "fuzz_check.hpp"
#include "json_reader.hpp"
#include "tarvo/core/json.hpp"

namespace {

using tarvo::core::Column;
using tarvo::core::Dict;
using tarvo::core::Document;
using tarvo::core::Kind;
using tarvo::core::List;
using tarvo::core::Table;

struct Builder {
    FuzzedDataProvider& in;
    bool has_nan = false;

    double real() {
        const double d = in.ConsumeBool() ? in.ConsumeFloatingPoint<double>()
                                          : static_cast<double>(in.ConsumeIntegral<int32_t>()) / 1000.0;
        has_nan = has_nan || std::isnan(d);
        return d;
    }

    std::string text() { return in.ConsumeRandomLengthString(64); }

    // A row table of up to three columns (whole numbers, reals, texts, flags) with nulls.
    Table rows() {
        Table t;
        const size_t ncols = in.ConsumeIntegralInRange<size_t>(1, 3);
        const size_t nrows = in.ConsumeIntegralInRange<size_t>(0, 4);
        for (size_t c = 0; c < ncols; ++c) {
            const Kind kind = in.PickValueInArray({Kind::i64, Kind::f64, Kind::str, Kind::boolean});
            Column col(kind);
            for (size_t r = 0; r < nrows; ++r) {
                if (kind != Kind::f64 && in.ConsumeProbability<float>() < 0.2f) {
                    col.push_null();
                    continue;
                }
                switch (kind) {
                    case Kind::i64: col.push_int(in.ConsumeIntegral<int64_t>()); break;
                    case Kind::f64: col.push_double(real()); break;
                    case Kind::str: col.push_text(text()); break;
                    default: col.push_bool(in.ConsumeBool()); break;
                }
            }
            t.set("k" + std::to_string(c), std::move(col));
        }
        return t;
    }

    Document doc(int depth) {
        const int pick = in.ConsumeIntegralInRange<int>(0, depth >= 6 ? 4 : 7);
        switch (pick) {
            case 0: return Document();
            case 1: return Document(in.ConsumeBool());
            case 2: return Document(in.ConsumeIntegral<int64_t>());
            case 3: return Document(real());
            case 4: return Document(text());
            case 5: {
                List items;
                const size_t n = in.ConsumeIntegralInRange<size_t>(0, 5);
                for (size_t i = 0; i < n && in.remaining_bytes() > 0; ++i) items.push_back(doc(depth + 1));
                return Document(std::move(items));
            }
            case 6: {
                Dict d;
                const size_t n = in.ConsumeIntegralInRange<size_t>(0, 5);
                for (size_t i = 0; i < n && in.remaining_bytes() > 0; ++i) d.set(text(), doc(depth + 1));
                return Document(std::move(d));
            }
            default: return Document::rows(rows());
        }
    }
};

void round_trip(const Document& doc, tarvo::core::JsonStyle style, bool compare_documents) {
    const std::string written = tarvo::core::to_json(doc, style);
    Document parsed;
    try {
        parsed = fuzz::JsonReader(written).whole();
    } catch (const std::runtime_error& e) {
        std::fprintf(stderr, "not JSON (%s): %s\n", e.what(), written.c_str());
        FUZZ_CHECK(false && "the writer's output does not parse");
    }
    if (compare_documents) FUZZ_CHECK(parsed == doc);
    FUZZ_CHECK(tarvo::core::to_json(parsed, style) == written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    Builder builder{in};
    const Document doc = builder.doc(0);
    round_trip(doc, tarvo::core::JsonStyle::indented, !builder.has_nan);
    round_trip(doc, tarvo::core::JsonStyle::compact, !builder.has_nan);
    return 0;
}
