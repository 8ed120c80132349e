#include "tarvo/pipeline/ronnel/firm_columns.hpp"

#include "tarvo/core/score_bands.hpp"
#include "tarvo/core/value.hpp"
#include "tarvo/pipeline/ronnel/page_json.hpp"

namespace tarvo::ronnel {

namespace {

// The trending flags of the rows, in the order the page lists them.
const char* const kFlagKeys[] = {"_hizli_yukselen", "_rejim_degisimi", "_potansiyel_yi",
                                 "_erken_sinyal",   "_yakalanan",      "_kacirilan"};

// One array's cells as a JSON array: each cell was written after a comma, the first one dropped.
void write_array(std::ostream& os, const std::string& cells) {
    os << '[';
    if (!cells.empty()) os.write(cells.data() + 1, static_cast<std::streamsize>(cells.size() - 1));
    os << ']';
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
    const size_t start = out.size();
    if (firm && firm->is_dict()) {
        for (const auto& [period, entry] : firm->as_dict()) {
            const core::Document* groups = entry.get("yeni_gruplar");
            if (!groups || !groups->is_list() || groups->as_list().empty()) continue;
            out += out.size() == start ? '{' : ',';
            append_json_text(out, period);
            out += ':';
            append_script_safe_json(out, *groups);
        }
    }
    out += out.size() == start ? "null" : "}";
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

    FirmColumns out;
    std::vector<FirmColumns::Array>& arrays = out.rows;
    arrays.push_back({"muta", {}});
    arrays.push_back({"sube", {}});
    arrays.push_back({"bolge", {}});
    for (const auto& c : copied) arrays.push_back({c.name, {}});
    arrays.push_back({"diag", {}});

    const size_t np = periods.size();
    out.skor.resize(np);
    out.risk.resize(np);
    out.bant.resize(np);
    std::vector<const core::Column*> skor_cols(np), risk_cols(np);
    for (size_t p = 0; p < np; ++p) {
        skor_cols[p] = rows.find("ovik" + periods[p]);
        risk_cols[p] = rows.find("r" + periods[p]);
    }

    // Every array, so a row's cells can be measured and taken back as one.
    std::vector<std::string*> every;
    for (auto& a : arrays) every.push_back(&a.cells);
    for (auto& t : out.skor) every.push_back(&t);
    for (auto& t : out.risk) every.push_back(&t);

    // The members' names and brackets, then each row's cells and band characters.
    size_t used = 64 + arrays.size() * 24 + np * 4;
    std::vector<size_t> mark(every.size());
    std::string key;
    for (size_t r : order) {
        for (size_t a = 0; a < every.size(); ++a) mark[a] = every[a]->size();

        key = muta && !muta->is_null(r) ? muta->text_form(r) : "";
        std::string& m = arrays[0].cells;
        m += ',';
        if (muta && !muta->is_null(r)) append_json_text(m, key); else m += "null";
        auto it = names.by_branch.find(branch_key(sube_kodu, r));
        arrays[1].cells += ',';
        arrays[2].cells += ',';
        if (it != names.by_branch.end()) {
            append_json_text(arrays[1].cells, it->second.first);
            append_json_text(arrays[2].cells, it->second.second);
        } else {
            arrays[1].cells += "null";
            arrays[2].cells += "null";
        }
        for (size_t c = 0; c < copied.size(); ++c) {
            std::string& t = arrays[3 + c].cells;
            t += ',';
            if (copied[c].source) append_json_cell(t, *copied[c].source, r); else t += copied[c].missing;
        }
        std::string& d = arrays.back().cells;
        d += ',';
        append_diag(d, diag_dict ? diag_index->as_dict().find(key) : nullptr);
        for (size_t p = 0; p < np; ++p) {
            std::string& skor = out.skor[p];
            skor += ',';
            if (skor_cols[p]) append_json_cell(skor, *skor_cols[p], r); else skor += "null";
            std::string& risk = out.risk[p];
            risk += ',';
            if (risk_cols[p]) append_whole_risk(risk, *risk_cols[p], r); else risk += "null";
        }

        size_t row_size = np;  // one band character per period
        for (size_t a = 0; a < every.size(); ++a) row_size += every[a]->size() - mark[a];
        if (used + row_size > budget) {
            for (size_t a = 0; a < every.size(); ++a) every[a]->resize(mark[a]);
            break;
        }
        used += row_size;
        for (size_t p = 0; p < np; ++p) {
            const uint8_t code = skor_cols[p] ? core::score_band_code_at(*skor_cols[p], r) : core::NO_BAND;
            out.bant[p] += code == core::NO_BAND ? '-' : static_cast<char>('0' + code);
        }
        ++out.kept;
    }
    return out;
}

void FirmColumns::write_json(std::ostream& os) const {
    os << "\"rows\":{";
    std::string name;
    for (size_t a = 0; a < rows.size(); ++a) {
        name.clear();
        append_json_text(name, rows[a].name);
        os << (a ? "," : "") << name << ':';
        write_array(os, rows[a].cells);
    }
    os << "},\"skor\":[";
    for (size_t p = 0; p < skor.size(); ++p) {
        if (p) os << ',';
        write_array(os, skor[p]);
    }
    os << "],\"risk\":[";
    for (size_t p = 0; p < risk.size(); ++p) {
        if (p) os << ',';
        write_array(os, risk[p]);
    }
    os << "],\"bant\":[";
    for (size_t p = 0; p < bant.size(); ++p) os << (p ? "," : "") << '"' << bant[p] << '"';
    os << ']';
}

}  // namespace tarvo::ronnel
