#include "tarvo/pipeline/ronnel/firm_columns.hpp"

#include "tarvo/core/score_bands.hpp"
#include "tarvo/core/value.hpp"
#include "tarvo/pipeline/ronnel/page_json.hpp"

namespace tarvo::ronnel {

namespace {

// The trending flags of the rows, in the order the page lists them.
const char* const kFlagKeys[] = {"_hizli_yukselen", "_rejim_degisimi", "_potansiyel_yi",
                                 "_erken_sinyal",   "_yakalanan",      "_kacirilan"};

// One JSON array under construction; every cell is written with a leading comma, dropped when the
// array is closed.
struct JsonArray {
    std::string name;
    std::string text;
};

void close_array(std::string& out, const JsonArray& a, bool named) {
    if (named) {
        append_json_text(out, a.name);
        out += ':';
    }
    out += '[';
    if (!a.text.empty()) out.append(a.text, 1, std::string::npos);
    out += ']';
}

// A per-period risk rounded to a whole number, halves to even (the page shows whole lira); other
// cells as they are.
void append_whole_risk(std::string& out, const core::Column& c, size_t r) {
    if (c.is_double_cell(r)) {
        if (auto whole = core::truncate_to_int(core::round_half_even(c.double_at(r)))) {
            out += std::to_string(*whole);
            return;
        }
    }
    append_json_cell(out, c, r);
}

// {period: [groups]} of one firm from a diagnostic index entry, or null.
void append_diag(std::string& out, const core::Document* firm) {
    if (!firm || !firm->is_dict()) {
        out += "null";
        return;
    }
    std::string body;
    for (const auto& [period, entry] : firm->as_dict()) {
        const core::Document* groups = entry.get("yeni_gruplar");
        if (!groups || !groups->is_list() || groups->as_list().empty()) continue;
        body += body.empty() ? "" : ",";
        append_json_text(body, period);
        body += ':';
        body += script_safe_json(*groups);
    }
    out += body.empty() ? "null" : "{" + body + "}";
}

}  // namespace

FirmColumns build_firm_columns(const core::Table& rows, const std::vector<size_t>& order,
                               const std::vector<std::string>& periods, const BranchNames& names,
                               const core::Document* diag_index, size_t budget) {
    const std::string son = periods.empty() ? "" : periods.back();
    const core::Column* muta = rows.find("muta");
    const core::Column* sube_kodu = rows.find("sube_kodu");
    const core::Column* ml_prob = rows.find("_ml_yi_prob");
    const core::Column* ml_neden = rows.find("_ml_neden");
    const bool diag_dict = diag_index && diag_index->is_dict();

    // Plain columns copied cell by cell, and what a row table without the column gives (a missing
    // flag column means no firm carries the flag).
    struct Copied {
        std::string name;
        const core::Column* source;
        const char* missing;
    };
    std::vector<Copied> copied = {{"unvan", rows.find("unvan"), "null"},
                                  {"segment", rows.find("segment"), "null"},
                                  {"son_skor", rows.find("ovik" + son), "null"},
                                  {"son_risk", rows.find("son_risk"), "null"},
                                  {"risk_degisim", rows.find("rd" + son), "null"}};
    for (const auto& f : kFlagKeys) copied.push_back({f, rows.find(f), "0"});
    copied.push_back({"neden", rows.find("_ovik_neden"), "null"});
    if (ml_prob) copied.push_back({"ml_prob", ml_prob, "null"});
    if (ml_prob || ml_neden) copied.push_back({"ml_neden", ml_neden, "null"});

    std::vector<JsonArray> arrays;
    arrays.push_back({"muta", {}});
    arrays.push_back({"sube", {}});
    arrays.push_back({"bolge", {}});
    for (const auto& c : copied) arrays.push_back({c.name, {}});
    arrays.push_back({"diag", {}});

    const size_t np = periods.size();
    std::vector<JsonArray> skor(np), risk(np);
    std::vector<std::string> bant(np);
    std::vector<const core::Column*> skor_cols(np), risk_cols(np);
    std::vector<std::vector<uint8_t>> band_codes(np);
    for (size_t p = 0; p < np; ++p) {
        skor_cols[p] = rows.find("ovik" + periods[p]);
        risk_cols[p] = rows.find("r" + periods[p]);
        if (skor_cols[p]) core::score_band_codes(*skor_cols[p], band_codes[p]);
    }

    // Every array, so a row's cells can be measured and taken back as one.
    std::vector<JsonArray*> every;
    for (auto& a : arrays) every.push_back(&a);
    for (auto& a : skor) every.push_back(&a);
    for (auto& a : risk) every.push_back(&a);
    auto total_size = [&] {
        size_t n = 0;
        for (const JsonArray* a : every) n += a->text.size();
        return n;
    };

    FirmColumns out;
    // The members' names and brackets, then each row's cells and band characters.
    size_t used = 64 + arrays.size() * 24 + np * 4;
    std::vector<size_t> mark(every.size());
    for (size_t r : order) {
        for (size_t a = 0; a < every.size(); ++a) mark[a] = every[a]->text.size();
        const size_t before = total_size();

        const std::string key = muta && !muta->is_null(r) ? muta->text_form(r) : "";
        std::string& m = arrays[0].text;
        m += ',';
        if (muta && !muta->is_null(r)) append_json_text(m, key); else m += "null";
        auto it = names.by_branch.find(branch_key(sube_kodu, r));
        arrays[1].text += ',';
        arrays[2].text += ',';
        if (it != names.by_branch.end()) {
            append_json_text(arrays[1].text, it->second.first);
            append_json_text(arrays[2].text, it->second.second);
        } else {
            arrays[1].text += "null";
            arrays[2].text += "null";
        }
        for (size_t c = 0; c < copied.size(); ++c) {
            std::string& t = arrays[3 + c].text;
            t += ',';
            if (copied[c].source) append_json_cell(t, *copied[c].source, r); else t += copied[c].missing;
        }
        std::string& d = arrays.back().text;
        d += ',';
        append_diag(d, diag_dict ? diag_index->as_dict().find(key) : nullptr);
        for (size_t p = 0; p < np; ++p) {
            skor[p].text += ',';
            if (skor_cols[p]) append_json_cell(skor[p].text, *skor_cols[p], r); else skor[p].text += "null";
            risk[p].text += ',';
            if (risk_cols[p]) append_whole_risk(risk[p].text, *risk_cols[p], r); else risk[p].text += "null";
        }

        const size_t row_size = total_size() - before + np;  // np: one band character per period
        if (used + row_size > budget) {
            for (size_t a = 0; a < every.size(); ++a) every[a]->text.resize(mark[a]);
            break;
        }
        used += row_size;
        for (size_t p = 0; p < np; ++p) {
            const uint8_t code = skor_cols[p] ? band_codes[p][r] : core::NO_BAND;
            bant[p] += code == core::NO_BAND ? '-' : static_cast<char>('0' + code);
        }
        ++out.kept;
    }

    std::string& j = out.json;
    j += "\"rows\":{";
    for (size_t a = 0; a < arrays.size(); ++a) {
        if (a) j += ',';
        close_array(j, arrays[a], true);
    }
    j += "},\"skor\":[";
    for (size_t p = 0; p < np; ++p) {
        if (p) j += ',';
        close_array(j, skor[p], false);
    }
    j += "],\"risk\":[";
    for (size_t p = 0; p < np; ++p) {
        if (p) j += ',';
        close_array(j, risk[p], false);
    }
    j += "],\"bant\":[";
    for (size_t p = 0; p < np; ++p) {
        if (p) j += ',';
        j += '"' + bant[p] + '"';
    }
    j += ']';
    return out;
}

}  // namespace tarvo::ronnel
