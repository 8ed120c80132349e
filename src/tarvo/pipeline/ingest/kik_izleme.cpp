// The monthly monitoring lists of corporate customers -> brz_kik_izleme.
#include <array>
#include <regex>
#include <string>
#include <string_view>

#include "tarvo/core/files.hpp"
#include "tarvo/core/text.hpp"
#include "tarvo/pipeline/ingest/cleaning.hpp"
#include "tarvo/pipeline/ingest/number_columns.hpp"
#include "tarvo/pipeline/ingest/readers.hpp"
#include "tarvo/pipeline/ingest/source_walk.hpp"
#include "tarvo/pipeline/ingest/sources.hpp"

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

// Moves the named column out of the table (the table no longer has it); nothing when absent.
// The read table is taken apart this way as its columns are used, so a large file is not
// held twice.
std::optional<core::Column> take(core::Table& df, std::string_view name) {
    core::Column* c = df.find(name);
    if (!c) return std::nullopt;
    core::Column col = std::move(*c);
    df.drop(name);
    return col;
}

// Text cleaning of the named column, taken out of the table; null on all `n` rows when absent.
core::Column cleaned_or_null(core::Table& df, std::string_view name, size_t n) {
    std::optional<core::Column> c = take(df, name);
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

}  // namespace

void _ingest_kik_izleme(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter) {
    if (skip_missing_dir(dir, "kik_data_ham_csv")) return;

    static const std::regex period_pattern("20([0-9]{4})02");
    int64_t total = 0;
    for (const fs::path& file : core::sorted_glob(dir, "*.csv")) {
        const std::string name = file.filename().string();
        if (!core::contains(name, "Kurumsal")) continue;
        std::optional<std::string> donem = period_in_name(name, period_pattern);
        if (!donem) continue;

        core::Table df;
        try {
            df = read_text(con, file, ';', Encoding::cp1254, is_used_column);
        } catch (const std::exception&) {
            df = read_text_detected(con, file, Encoding::cp1254, is_used_column);
        }
        if (!df.has("Must No")) continue;

        df = prepare_mutas(std::move(df), "Must No", muta_filter);
        const size_t n = df.nrows();
        core::Column muta = *take(df, "muta");
        df.drop("Must No");

        core::Column unvan = all_null_text(n);
        for (std::string_view header : kNameHeaders) {
            if (std::optional<core::Column> c = take(df, header)) {
                unvan = _clean_str_col(*c);
                break;
            }
        }

        core::Column ykn_izl_flag = cleaned_or_null(df, "Ykn Izl Flag", n);
        core::Column tfrs_rating = cleaned_or_null(df, "Rtng Kod", n);
        core::Column rating_tarihi = cleaned_or_null(df, "Rating Tar", n);

        core::Column kik_risk(core::i64, n);
        if (std::optional<core::Column> risk = take(df, "Risk Bky Tl"); risk && n > 0) kik_risk = turkish_amounts(*risk);

        core::Column gckm(core::i64, n);
        std::optional<core::Column> days = take(df, "Gckm Gun Say");
        if (!days) days = take(df, "Gckm_Gun_Say");
        if (days) gckm = to_truncated_whole(*days, 0);
        days.reset();

        core::Column erkn_izlm_kod = df.has("Erkn Izlm Kod") ? cleaned_or_null(df, "Erkn Izlm Kod", n)
                                                             : cleaned_or_null(df, "Erkn_Izlm_Kod", n);

        std::vector<const core::Column*> ciss;
        for (size_t c = 0; c < df.ncols(); ++c)
            if (is_ciss_column(df.names()[c])) ciss.push_back(&df.column(c));
        core::Column ciss_flag = any_nonzero(ciss, n);
        ciss.clear();
        df = core::Table{};

        core::Table out = make_out({
            {"muta", std::move(muta)},
            {"donem", constant_text(*donem, n)},
            {"ykn_izl_flag", std::move(ykn_izl_flag)},
            {"tfrs_rating", std::move(tfrs_rating)},
            {"rating_tarihi", std::move(rating_tarihi)},
            {"kik_risk", std::move(kik_risk)},
            {"unvan", std::move(unvan)},
            {"gckm_gun_say", std::move(gckm)},
            {"erkn_izlm_kod", std::move(erkn_izlm_kod)},
            {"ciss_flag", std::move(ciss_flag)},
        });
        total += append_out(con, out, "INSERT INTO brz_kik_izleme SELECT * FROM out");
    }
    print_row_count("brz_kik_izleme", total);
}

}  // namespace tarvo::ingest
