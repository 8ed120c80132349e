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

// The diagnostic index when it is a mapping of firms, else none.
const core::Document* firm_index(const core::Document* diag_index) {
    return diag_index && diag_index->is_dict() ? diag_index : nullptr;
}

}  // namespace

FirmColumnsBuilder::FirmColumnsBuilder(const core::Table& rows, std::vector<size_t> order,
                                       std::vector<std::string> periods, BranchNames names,
                                       const core::Document* diag_index)
    : rows_(rows),
      order_(std::move(order)),
      periods_(std::move(periods)),
      names_(std::move(names)),
      diag_index_(firm_index(diag_index)),
      muta_(rows.find("muta")),
      sube_kodu_(rows.find("sube_kodu")) {
    const std::string son = periods_.empty() ? "" : periods_.back();
    const core::Column* ml_prob = rows.find("_ml_yi_prob");
    const core::Column* ml_neden = rows.find("_ml_neden");
    copied_ = {{"unvan", rows.find("unvan"), "null"},
               {"segment", rows.find("segment"), "null"},
               {"son_skor", rows.find("ovik" + son), "null"},
               {"son_risk", rows.find("son_risk"), "null"},
               {"risk_degisim", rows.find("rd" + son), "null"}};
    for (const auto& f : kFlagKeys) copied_.push_back({f, rows.find(f), "0"});
    copied_.push_back({"neden", rows.find("_ovik_neden"), "null"});
    if (ml_prob) copied_.push_back({"ml_prob", ml_prob, "null"});
    if (ml_prob || ml_neden) copied_.push_back({"ml_neden", ml_neden, "null"});

    std::vector<FirmColumns::Array>& arrays = out_.rows;
    arrays.push_back({"muta", {}});
    arrays.push_back({"sube", {}});
    arrays.push_back({"bolge", {}});
    for (const auto& c : copied_) arrays.push_back({c.name, {}});
    arrays.push_back({"diag", {}});

    const size_t np = periods_.size();
    out_.skor.resize(np);
    out_.risk.resize(np);
    out_.bant.resize(np);
    for (const std::string& p : periods_) {
        skor_cols_.push_back(rows.find("ovik" + p));
        risk_cols_.push_back(rows.find("r" + p));
    }
    for (auto& a : arrays) every_.push_back(&a.cells);
    for (auto& t : out_.skor) every_.push_back(&t);
    for (auto& t : out_.risk) every_.push_back(&t);
    start_over();
}

bool FirmColumnsBuilder::makes(const core::Table& rows, const std::vector<size_t>& order,
                               const std::vector<std::string>& periods, const BranchNames& names,
                               const core::Document* diag_index) const {
    return &rows == &rows_ && firm_index(diag_index) == diag_index_ &&
           order == order_ && periods == periods_ && names.by_branch == names_.by_branch;
}

void FirmColumnsBuilder::start_over() {
    for (std::string* cells : every_) cells->clear();
    for (std::string& b : out_.bant) b.clear();
    out_.kept = 0;
    next_ = 0;
    used_ = 64 + out_.rows.size() * 24 + periods_.size() * 4;  // the members' names and brackets
}

const FirmColumns& FirmColumnsBuilder::fit(size_t budget) {
    if (budget < used_) start_over();
    std::vector<size_t> mark(every_.size());
    for (; next_ < order_.size(); ++next_) {
        for (size_t a = 0; a < every_.size(); ++a) mark[a] = every_[a]->size();
        const size_t r = order_[next_];
        add_cells(r);
        size_t row_size = periods_.size();  // one band character per period
        for (size_t a = 0; a < every_.size(); ++a) row_size += every_[a]->size() - mark[a];
        if (used_ + row_size > budget) {
            for (size_t a = 0; a < every_.size(); ++a) every_[a]->resize(mark[a]);
            break;
        }
        used_ += row_size;
        add_bands(r);
        ++out_.kept;
    }
    return out_;
}

void FirmColumnsBuilder::add_cells(size_t r) {
    std::vector<FirmColumns::Array>& arrays = out_.rows;
    key_ = muta_ && !muta_->is_null(r) ? muta_->text_form(r) : "";
    std::string& m = arrays[0].cells;
    m += ',';
    if (muta_ && !muta_->is_null(r)) append_json_text(m, key_); else m += "null";
    auto it = names_.by_branch.find(branch_key(sube_kodu_, r));
    arrays[1].cells += ',';
    arrays[2].cells += ',';
    if (it != names_.by_branch.end()) {
        append_json_text(arrays[1].cells, it->second.first);
        append_json_text(arrays[2].cells, it->second.second);
    } else {
        arrays[1].cells += "null";
        arrays[2].cells += "null";
    }
    for (size_t c = 0; c < copied_.size(); ++c) {
        std::string& t = arrays[3 + c].cells;
        t += ',';
        if (copied_[c].source) append_json_cell(t, *copied_[c].source, r); else t += copied_[c].missing;
    }
    std::string& d = arrays.back().cells;
    d += ',';
    append_diag(d, diag_index_ ? diag_index_->as_dict().find(key_) : nullptr);
    for (size_t p = 0; p < periods_.size(); ++p) {
        std::string& skor = out_.skor[p];
        skor += ',';
        if (skor_cols_[p]) append_json_cell(skor, *skor_cols_[p], r); else skor += "null";
        std::string& risk = out_.risk[p];
        risk += ',';
        if (risk_cols_[p]) append_whole_risk(risk, *risk_cols_[p], r); else risk += "null";
    }
}

void FirmColumnsBuilder::add_bands(size_t r) {
    for (size_t p = 0; p < periods_.size(); ++p) {
        const uint8_t code = skor_cols_[p] ? core::score_band_code_at(*skor_cols_[p], r) : core::NO_BAND;
        out_.bant[p] += code == core::NO_BAND ? '-' : static_cast<char>('0' + code);
    }
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
