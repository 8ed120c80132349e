#include "tarvo/pipeline/ronnel/render.hpp"

#include <sstream>
#include <unordered_map>

#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/core/json.hpp"
#include "tarvo/pipeline/marts/bands.hpp"

namespace tarvo::ronnel {

using core::Document;

namespace {

struct BranchNames {
    std::unordered_map<std::string, std::pair<std::string, std::string>> by_branch;
};

// Splits one CSV record (quotes doubled inside quoted fields).
std::vector<std::string> csv_fields(const std::string& line) {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                out.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                out.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

// Branch code -> (branch name, region name) from the reference file; empty when unreadable.
BranchNames read_branch_names(const std::filesystem::path& csv) {
    BranchNames names;
    std::error_code ec;
    if (!std::filesystem::exists(csv, ec)) return names;
    std::istringstream in(core::read_file(csv));
    std::string line;
    bool header = true;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (header) {
            header = false;
            continue;
        }
        auto f = csv_fields(line);
        if (f.size() >= 4) names.by_branch[f[0]] = {f[1], f[3]};
    }
    return names;
}

std::string cell_text(const core::Column* c, size_t row) {
    if (!c || c->is_null(row)) return "";
    return c->text_form(row);
}

// Latest risk with its thousands grouped ("1,234,567"); other cells as their text form.
std::string risk_text(const core::Column* c, size_t row) {
    if (c && c->is_int_cell(row)) return core::group_thousands(c->int_at(row));
    return cell_text(c, row);
}

// Branch codes read as whole numbers, so "12.0" and "12" find the same reference row.
std::string branch_key(const core::Column* c, size_t row) {
    if (!c || c->is_null(row)) return "";
    auto d = c->number_at(row);
    if (!d && c->is_text_cell(row)) d = core::parse_number(c->text_at(row));
    if (!d) return c->text_form(row);
    auto w = core::truncate_to_int(*d);
    return w ? std::to_string(*w) : c->text_form(row);
}

const char* const kStyle = R"(<style>
body{font-family:system-ui,sans-serif;margin:1.5rem;color:#1b1f24}
h1{font-size:1.4rem;margin:0 0 .3rem}
.meta{color:#555;margin-bottom:1rem}
table{border-collapse:collapse;width:100%;font-size:.85rem}
th,td{border-bottom:1px solid #ddd;padding:.3rem .5rem;text-align:left}
th{background:#f3f5f7;position:sticky;top:0}
td.num{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}
td[class^=band]{white-space:nowrap}
.band-YI{background:#7a0019;color:#fff}.band-825-1000{background:#e4572e;color:#fff}
.band-500-825{background:#f3a712}.band-325-500{background:#ffe08a}.band-0-325{background:#cfe8d5}
.note{background:#fff4ce;padding:.5rem;margin:.5rem 0}
</style>)";

}  // namespace

std::string html_escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string script_safe_json(const Document& doc) {
    std::string json = core::to_json(doc, core::JsonStyle::compact);
    std::string out;
    out.reserve(json.size());
    for (size_t i = 0; i < json.size(); ++i) {
        char c = json[i];
        if (c == '<') out += "\\u003c";
        else if (c == '>') out += "\\u003e";
        else if (c == '&') out += "\\u0026";
        else if (json.compare(i, 3, "\xE2\x80\xA8") == 0) { out += "\\u2028"; i += 2; }
        else if (json.compare(i, 3, "\xE2\x80\xA9") == 0) { out += "\\u2029"; i += 2; }
        else out += c;
    }
    return out;
}

void render_html(const Document& scoreboard, const std::filesystem::path& html_path,
                 const std::filesystem::path& ref_csv_path, const RenderOptions& options) {
    // `tarvo verify` reads this function's source for this kind test, spelled as it is here.
    if (!isinstance(scoreboard, core::dict))
        throw core::TypeError(std::string("scoreboard must be a dict, not ") +
                              core::doc_kind_name(scoreboard.kind()));

    core::RowsRef rows(scoreboard.get("rows"));
    const Document* meta = scoreboard.get("meta");
    const Document* son = meta ? meta->get("son_donem") : nullptr;
    const std::string son_text = son && !son->is_null() ? son->to_value().text_form() : "";
    const core::Column* score = rows->find("ovik" + son_text);
    const core::Column bands = score ? marts::_score_to_band_vec(*score) : core::Column(core::str, rows->nrows());
    const BranchNames names = read_branch_names(ref_csv_path);
    const Document* mode = options.extra_data ? options.extra_data->get("page_mode") : nullptr;
    const std::string page_mode = mode && mode->is_text() ? mode->as_text() : "";

    std::string head = "<!DOCTYPE html>\n<html lang=\"tr\">\n<head>\n<meta charset=\"utf-8\">\n<title>OVIK Erken Uyarı Skorbordu</title>\n";
    head += kStyle;
    head += "\n</head>\n<body>\n<h1>OVIK Erken Uyarı Skorbordu" +
            std::string(page_mode == "admin" ? " — Yönetici Verisi" : "") + "</h1>\n";
    head += "<div class=\"meta\">Son dönem: " + html_escape(son_text) + "</div>\n";

    std::string tail;
    if (options.extra_data) {
        tail += "<script type=\"application/json\" id=\"extra-data\">" +
                script_safe_json(*options.extra_data) + "</script>\n";
    }
    tail += "</body>\n</html>\n";

    const char* const header_row =
        "<table>\n<thead><tr><th>Muta</th><th>Unvan</th><th>Segment</th><th>Şube</th><th>Bölge</th>"
        "<th>Son risk</th><th>Son skor</th><th>Bant</th><th>Neden</th></tr></thead>\n<tbody>\n";
    const char* const table_end = "</tbody>\n</table>\n";
    const size_t limit = static_cast<size_t>(options.max_size_mb * 1024 * 1024);
    // Room for the note about rows left out.
    const size_t fixed = head.size() + tail.size() + std::string(header_row).size() +
                         std::string(table_end).size() + 200;

    const core::Column* muta = rows->find("muta");
    const core::Column* unvan = rows->find("unvan");
    const core::Column* segment = rows->find("segment");
    const core::Column* sube = rows->find("sube_kodu");
    const core::Column* son_risk = rows->find("son_risk");
    const core::Column* reason = rows->find("_ovik_neden");

    std::string body;
    int64_t shown = 0, left_out = 0;
    for (size_t r = 0; r < rows->nrows(); ++r) {
        if (options.row_filter && !options.row_filter(core::RowView(*rows, r))) continue;
        if (left_out > 0) {
            ++left_out;
            continue;
        }
        std::string branch, region;
        auto it = names.by_branch.find(branch_key(sube, r));
        if (it != names.by_branch.end()) std::tie(branch, region) = it->second;
        const std::string band = cell_text(&bands, r);
        std::string line = "<tr><td>" + html_escape(cell_text(muta, r)) + "</td><td>" +
                           html_escape(cell_text(unvan, r)) + "</td><td>" +
                           html_escape(cell_text(segment, r)) + "</td><td>" + html_escape(branch) +
                           "</td><td>" + html_escape(region) + "</td><td class=\"num\">" +
                           html_escape(risk_text(son_risk, r)) + "</td><td class=\"num\">" +
                           html_escape(cell_text(score, r)) + "</td><td class=\"band-" +
                           html_escape(band) + "\">" + html_escape(band) + "</td><td>" +
                           html_escape(cell_text(reason, r)) + "</td></tr>\n";
        if (fixed + body.size() + line.size() > limit) {
            left_out = 1;
            continue;
        }
        body += line;
        ++shown;
    }

    core::AtomicFile file(html_path);
    std::ostream& os = file.stream();
    os << head << "<div class=\"meta\">Gösterilen firma: " << shown << "</div>\n";
    if (left_out > 0)
        os << "<div class=\"note\">Boyut sınırı nedeniyle " << left_out
           << " firma gösterilmedi.</div>\n";
    os << header_row << body << table_end << tail;
    file.commit();
}

}  // namespace tarvo::ronnel
