// The monthly monitoring lists of corporate customers -> brz_kik_izleme.
#include <array>
#include <regex>
#include <string>
#include <string_view>

#include "tarvo/core/text.hpp"
#include "tarvo/pipeline/ingest/cleaning.hpp"
#include "tarvo/pipeline/ingest/number_columns.hpp"
#include "tarvo/pipeline/ingest/readers.hpp"
#include "tarvo/pipeline/ingest/source_walk.hpp"

namespace tarvo::ingest {

namespace {

// Firm-name headers, in order of preference ("Cari Hesap Adı" with the dotless ı).
constexpr std::array<std::string_view, 5> kNameHeaders{"Must Ad", "Cari Hesap Ad\u0131", "Cari Hesap Adi", "UNVAN",
                                                       "Unvan"};

bool is_ciss_column(const std::string& name) { return core::starts_with(core::to_upper(name), "CISS"); }

// The columns the monitoring list uses; every other column of a file is not fetched.
bool is_used_column(std::string_view name) {
    static constexpr std::array<std::string_view, 9> used{
        "Must No",      "Ykn Izl Flag",  "Rtng Kod",     "Rating Tar", "Risk Bky Tl",
        "Gckm Gun Say", "Gckm_Gun_Say", "Erkn Izlm Kod", "Erkn_Izlm_Kod"};
    for (std::string_view u : used)
        if (name == u) return true;
    for (std::string_view u : kNameHeaders)
        if (name == u) return true;
    return is_ciss_column(std::string(name));
}

core::Column all_null_text(size_t n) { return core::Column(core::str, n); }

// Text cleaning of the named column, taken out of the table; null on all `n` rows when absent.
core::Column cleaned_or_null(core::Table& df, std::string_view name, size_t n) {
    std::optional<core::Column> c = take_column(df, name);
    return c ? _clean_str_col(*c) : all_null_text(n);
}

// "1.234.567,89" -> 1234568: every "." removed, "," read as the decimal point, rounded to a
// whole number with exact halves to the even neighbour. Not a number -> null.
core::Column turkish_amounts(const core::Column& col) {
    core::Column texts(core::str);
    texts.reserve(col.size());
    for (size_t i = 0; i < col.size(); ++i) {
        std::string t = col.text_form(i);
        std::string u;
        u.reserve(t.size());
        for (char c : t) {
            if (c == '.') continue;
            u += c == ',' ? '.' : c;
        }
        texts.push_text(std::move(u));
    }
    return to_rounded_whole(texts);
}

// Monitoring lists are "*Kurumsal*" files whose name carries the date 20<period>02.
std::optional<std::string> list_period(const fs::path& file) {
    static const std::regex period_pattern("20([0-9]{4})02");
    if (!core::contains(file.filename().string(), "Kurumsal")) return std::nullopt;
    return period_in_name(file, period_pattern);
}

// A ';' read first; when it fails for any reason, a read with the separator detected.
void read_list(vandel::Vandel& con, const fs::path& file, TableSink& sink) {
    read_text_or_detected(con, file, ';', Encoding::cp1254, is_used_column, sink);
}

// A file without "Must No" is passed over.
std::optional<std::string> must_no(const core::Table& df, const fs::path& /*file*/) {
    if (!df.has("Must No")) return std::nullopt;
    return "Must No";
}

void add_list_columns(core::Table& df, std::string_view customer_column, core::Table& out) {
    const size_t n = out.nrows();
    df.drop(customer_column);

    core::Column unvan = all_null_text(n);
    for (std::string_view header : kNameHeaders) {
        if (std::optional<core::Column> c = take_column(df, header)) {
            unvan = _clean_str_col(*c);
            break;
        }
    }
    out.set("ykn_izl_flag", cleaned_or_null(df, "Ykn Izl Flag", n));
    out.set("tfrs_rating", cleaned_or_null(df, "Rtng Kod", n));
    out.set("rating_tarihi", cleaned_or_null(df, "Rating Tar", n));

    std::optional<core::Column> risk = take_column(df, "Risk Bky Tl");
    out.set("kik_risk", risk ? turkish_amounts(*risk) : core::Column(core::i64, n));
    risk.reset();
    out.set("unvan", std::move(unvan));

    std::optional<core::Column> days = take_column(df, "Gckm Gun Say");
    if (!days) days = take_column(df, "Gckm_Gun_Say");
    out.set("gckm_gun_say", days ? to_truncated_whole(*days, 0) : core::Column(core::i64, n));
    days.reset();

    out.set("erkn_izlm_kod", df.has("Erkn Izlm Kod") ? cleaned_or_null(df, "Erkn Izlm Kod", n)
                                                      : cleaned_or_null(df, "Erkn_Izlm_Kod", n));

    std::vector<const core::Column*> ciss;
    for (size_t c = 0; c < df.ncols(); ++c)
        if (is_ciss_column(df.names()[c])) ciss.push_back(&df.column(c));
    out.set("ciss_flag", any_nonzero(ciss, n));
    df = core::Table{};  // not held while `out` is appended
}

constexpr PeriodFileSource kKikIzleme{"kik_data_ham_csv", "*.csv", "brz_kik_izleme",
                                      list_period, read_list, must_no, add_list_columns};

}  // namespace

void _ingest_kik_izleme(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter) {
    ingest_period_files(con, dir, muta_filter, kKikIzleme);
}

}  // namespace tarvo::ingest
