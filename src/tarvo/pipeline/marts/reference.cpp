#include "tarvo/pipeline/marts/reference.hpp"

#include <optional>
#include <unordered_set>

#include "tarvo/core/console.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::marts {

using core::Document;

namespace {

const char* const kReferenceQuery = R"(
        SELECT sube_kodu, sube_adi, bolge_kodu, bolge_adi
        FROM ref_sube_bolge
        ORDER BY bolge_kodu, sube_kodu
    )";

void put_csv_field(std::ostream& os, const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        os << field;
        return;
    }
    os << '"';
    for (char c : field) {
        if (c == '"') os << '"';
        os << c;
    }
    os << '"';
}

}  // namespace

void _export_sube_bolge_ref(vandel::Vandel& con, const std::filesystem::path& output_dir,
                           const std::string& file_suffix) {
    const std::filesystem::path path = output_dir / ("sube_bolge_ref" + file_suffix + ".csv");
    core::Table ref = con.query(kReferenceQuery);
    core::AtomicFile file(path);
    std::ostream& os = file.stream();
    os << "sube_kodu,sube_adi,bolge_kodu,bolge_adi\r\n";
    for (size_t r = 0; r < ref.nrows(); ++r) {
        for (size_t c = 0; c < ref.ncols(); ++c) {
            if (c) os << ',';
            if (!ref.column(c).is_null(r)) put_csv_field(os, ref.column(c).text_form(r));
        }
        os << "\r\n";
    }
    file.commit();
    core::console().line("    sube_bolge_ref.csv: " + std::to_string(ref.nrows()) + " rows -> " +
                         core::path_text(path));
}

void _strip_periods(Document& scoreboard, const Document& referans_tarih_list) {
    core::require_dict(scoreboard, "scoreboard");
    if (!referans_tarih_list.is_list())
        throw core::TypeError(std::string("referans_tarih_list must be a list, not ") +
                              core::doc_kind_name(referans_tarih_list.kind()));

    std::unordered_set<std::string> reference;
    for (const Document& d : referans_tarih_list.as_list()) reference.insert(d.to_value().text_form());
    // A period matches only when it is a text equal to a reference text.
    auto kept = [&](const Document& period) {
        return period.is_text() && reference.count(period.as_text()) > 0;
    };

    Document& meta = scoreboard["meta"];
    const core::List all = meta["donemler"].as_list();
    core::List removed, keep;
    for (const Document& p : all) (kept(p) ? keep : removed).push_back(p);
    if (removed.empty()) return;

    Document& rows = scoreboard["rows"];
    for (const Document& p : removed) {
        const std::string d = p.to_value().text_form();
        for (const char* prefix : {"ovik", "r", "rd", "df"}) {
            const std::string key = prefix + d;
            if (rows.is_rows())
                rows.as_rows().drop(key);
            else
                for (Document& row : rows.as_list()) row.as_dict().erase(key);
        }
    }

    core::List risk_kept;
    if (const Document* risk = meta.get("risk_donemler"))
        for (const Document& p : risk->as_list())
            if (kept(p)) risk_kept.push_back(p);
    const size_t n_kept = keep.size();
    std::optional<Document> last;
    if (!keep.empty()) last = keep.back();
    meta.set("donemler", Document(std::move(keep)));
    meta.set("risk_donemler", Document(std::move(risk_kept)));
    if (last) meta.set("son_donem", std::move(*last));
    core::console().line("    dönem filtresi: " + std::to_string(all.size()) + " -> " +
                         std::to_string(n_kept) + " dönem");
}

}  // namespace tarvo::marts
