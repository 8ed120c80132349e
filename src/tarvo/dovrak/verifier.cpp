#include "tarvo/dovrak/verifier.hpp"

#include <regex>
#include <utility>

#if defined(__GLIBC__)
#include <gnu/libc-version.h>
#endif
#if TARVO_HAVE_MDBTOOLS
#include <mdbtools.h>
#endif

#include "tarvo/core/codepage.hpp"
#include "tarvo/core/console.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/text.hpp"
#include "tarvo/quisar/fi.hpp"

namespace tarvo::dovrak {

namespace fs = std::filesystem;
using core::Value;

namespace {

const std::string kRule(60, '=');

// Modules of group 1 and the entry each must expose ("" for none).
const std::pair<const char*, const char*> kModules[] = {
    {"tarvo", ""},
    {"tarvo.pipeline.dalmer", "run_transforms"},
    {"tarvo.pipeline.marts", "_build_scoreboard"},
    {"tarvo.pipeline.ronnel", "render_html"},
    {"tarvo.vandel", "Vandel"},
};

// Tables whose entity_id type group 3 reports, in report order.
const char* const kKeyTables[] = {"dim_entity", "fact_periodic", "map_identity"};

// The join probe as the warehouse receives it.
const std::string kJoinProbe =
    "\n"
    "                        SELECT COUNT(*) FROM dim_entity de\n"
    "                        JOIN fact_periodic fp ON de.entity_id = fp.entity_id\n"
    "                        LIMIT 1\n"
    "                    ";

using OpenWarehouse = vandel::Vandel(const std::string&, vandel::Access);

void say(std::string_view text) { core::console().line(text); }

void emit(std::string_view marker, std::string_view name, const Value& detail) {
    std::string line = "  ";
    line += marker;
    line += ' ';
    line += name;
    if (!detail.is_null()) {
        std::string d = detail.text_form();
        if (!d.empty()) {
            line += " — ";
            line += d;
        }
    }
    say(line);
}

int64_t count_matches(const std::string& text, const std::regex& re) {
    return std::distance(std::sregex_iterator(text.begin(), text.end(), re), std::sregex_iterator());
}

std::string label_suffix(std::string_view module) {
    size_t dot = module.rfind('.');
    return std::string(dot == std::string_view::npos ? module : module.substr(dot + 1));
}

}  // namespace

std::string firm_bucket(int64_t firms) {
    if (firms < 1000) return "<1K";
    if (firms < 10000) return "1K-10K";
    if (firms < 100000) return "10K-100K";
    if (firms < 1000000) return "100K-1M";
    return "1M+";
}

FactSize fact_size(vandel::Vandel& con) {
    FactSize s;
    s.periods = con.fetchall("SELECT COUNT(DISTINCT donem) FROM fact_periodic").at(0).at(0).as_int();
    s.firms = con.fetchall("SELECT COUNT(DISTINCT entity_id) FROM fact_periodic").at(0).at(0).as_int();
    return s;
}

std::optional<std::string> probe_component(std::string_view component) {
    if (component == "duckdb") return vandel::library_version();
    if (component == "parquet") {
        // The reader is part of the library or an extension it has loaded; asking the catalog
        // of extensions loads nothing and writes nothing.
        vandel::Vandel con(":memory:");
        auto rows = con.fetchall(
            "SELECT loaded, extension_version FROM duckdb_extensions() WHERE extension_name = 'parquet'");
        if (rows.empty() || !(rows[0].at(0) == Value(true))) return std::nullopt;
        return rows[0].at(1).is_null() ? std::string() : rows[0].at(1).text_form();
    }
    if (component == "cp1254") {
        // ı ğ Ş İ: letters that only a Turkish code page places at these bytes.
        try {
            if (core::decode_cp1254("\xFD\xF0\xDE\xDD") != "ığŞİ") return std::nullopt;
        } catch (const core::Error&) {
            return std::nullopt;
        }
#if defined(__GLIBC__)
        return std::string("glibc ") + ::gnu_get_libc_version();
#else
        return std::string();
#endif
    }
    if (component == "mdbtools") {
#if TARVO_HAVE_MDBTOOLS
        const char* v = ::mdb_get_version();
        return std::string(v ? v : "");
#else
        return std::nullopt;
#endif
    }
    return std::nullopt;
}

Verifier::Verifier(const fs::path& db_path_, ModuleLoader loader, SizeSource sizes, ComponentProber prober)
    : db_path(db_path_),
      load_(loader ? std::move(loader)
                   : ModuleLoader([](std::string_view name) -> const modules::Module& {
                         return modules::load(name);
                     })),
      sizes_(sizes ? std::move(sizes) : SizeSource(fact_size)),
      probe_(prober ? std::move(prober) : ComponentProber(probe_component)) {}

void Verifier::check(std::string_view name, bool condition, const Value& detail_ok, const Value& detail_fail) {
    if (condition) {
        emit("✓", name, detail_ok);
    } else {
        emit("✗", name, detail_fail);
        fails.emplace_back(name);
    }
}

void Verifier::warn(std::string_view name, const Value& detail) {
    emit("⚠", name, detail);
    warns.emplace_back(name);
}

void Verifier::skip(std::string_view name, const Value& detail) {
    emit("○", name, detail);
    skips.emplace_back(name);
}

void Verifier::grup1_paket() {
    say("\n[GRUP 1] Paket Bütünlüğü");
    for (const auto& [module, entry] : kModules) {
        std::string label = "import " + label_suffix(module);
        try {
            const modules::Module& m = load_(module);
            if (*entry) m.attr(entry);
            check(label, true);
        } catch (const std::exception& e) {
            check(label, false, "", core::error_kind(e));
        }
    }
    try {
        check("versiyon", true, load_("tarvo").object<std::string>("__version__"));
    } catch (const std::exception&) {
        skip("versiyon");
    }
}

void Verifier::grup2_kaynak() {
    say("\n[GRUP 2] Kaynak Kod Kontrolleri");
    try {
        std::string src_t = load_("tarvo.pipeline.dalmer").source_of("run_transforms");
        int64_t casts = count_matches(src_t, std::regex(R"(CAST\(muta AS BIGINT\) NOT IN)"));
        check("dalmer: VARCHAR CAST", casts == 0, "", std::to_string(casts) + " BIGINT CAST");
        check("dalmer: son_12 parse", core::contains(src_t, "son_12") && core::contains(src_t, "literal_eval"));

        std::string src_m = load_("tarvo.pipeline.marts").source_of("_build_scoreboard");
        check("marts: entity_id normalize", core::contains(src_m, "astype(str)"));
        int64_t chains = count_matches(src_m, std::regex(R"(\.fetchdf\(\)\.\w+\[)"));
        check("marts: fetchdf zincirsiz", chains == 0, "", std::to_string(chains) + " zincir");

        std::string src_r = load_("tarvo.pipeline.ronnel").source_of("render_html");
        check("render_html: dict kabul", core::contains(src_r, "isinstance") && core::contains(src_r, "dict"));
    } catch (const std::exception& e) {
        check("kaynak kod", false, "", e.what());
    }
}

void Verifier::grup3_runtime() {
    say("\n[GRUP 3] Runtime Kontrolleri");
    std::error_code ec;
    if (!fs::exists(db_path, ec)) {
        skip("runtime", "DB yok");
        return;
    }
    try {
        auto open = load_("tarvo.vandel").entry<OpenWarehouse>("Vandel");
        vandel::Vandel con = open(db_path.string(), vandel::Access::read_only);

        std::vector<std::string> types;  // "table=type", in table order
        for (const char* table : kKeyTables) {
            try {
                std::string type;
                for (const auto& row : con.fetchall(std::string("DESCRIBE ") + table))
                    if (row.size() >= 2 && row[0] == Value("entity_id")) type = row[1].text_form();
                if (!type.empty()) types.push_back(std::string(table) + "=" + type);
            } catch (const std::exception&) {
                // A table that does not answer is left out of the report.
            }
        }

        if (!types.empty()) {
            // Always passes: the detail shows whether the key columns share one type.
            check("entity_id tipler", true, core::join(types, ", "));
            try {
                con.fetchall(kJoinProbe);
                check("entity_id JOIN", true);
            } catch (const std::exception& e) {
                if (core::kind_of(e) == core::ErrorKind::CatalogException)
                    skip("entity_id JOIN", "tablo henüz oluşturulmamış");
                else
                    check("entity_id JOIN", false, "", core::error_kind(e));
            }
        } else {
            skip("entity_id tipler", "tablolar henüz oluşturulmamış");
        }

        try {
            FactSize size = sizes_(con);
            check("fact_periodic", true,
                  std::to_string(size.periods) + " dönem, " + firm_bucket(size.firms) + " firma");
        } catch (const std::exception&) {
            skip("fact_periodic");
        }

        try {
            const auto& fi = load_("tarvo.quisar").object<quisar::FI>("FI");
            size_t n_kik = fi.kik_ciss_cols.size();
            size_t n_rkd = fi.rkd_codes.size();
            if (n_kik >= 1 && n_rkd >= 1)
                check("quisar", true, std::to_string(n_kik) + " kik, " + std::to_string(n_rkd) + " rkd");
            else
                warn("quisar", "boş — fallback");
        } catch (const std::exception&) {
            warn("quisar", "yüklenemedi");
        }

        con.close();
    } catch (const std::exception& e) {
        check("DB bağlantı", false, "", core::error_kind(e));
    }
}

void Verifier::grup4_ortam() {
    say("\n[GRUP 4] Ortam Uyumluluğu");
    auto probe = [this](const std::string& component) -> std::optional<std::string> {
        try {
            return probe_(component);
        } catch (...) {
            return std::nullopt;
        }
    };
    for (const auto& c : kRequiredComponents) {
        if (auto version = probe(c))
            check(c, true, version->empty() ? "?" : *version);
        else
            check(c, false, "", "kurulu değil");
    }
    for (const auto& c : kOptionalComponents) {
        if (auto version = probe(c))
            check(c, true, version->empty() ? "?" : *version);
        else
            warn(c, "opsiyonel — kurulu değil");
    }
}

int Verifier::verdict() {
    say("\n" + kRule);
    if (!fails.empty()) {
        say("  ✗ " + std::to_string(fails.size()) + " FAIL — pipeline çalıştırmayın");
        return 1;
    }
    if (!warns.empty()) {
        say("  ⚠ " + std::to_string(warns.size()) + " uyarı");
        say("  ✓ Kritik hata yok — pipeline çalıştırılabilir");
        return 0;
    }
    say("  ✓ Tüm kontroller geçti");
    return 0;
}

int Verifier::run() {
    // A package that cannot be loaded ends the run here, before any report line.
    const std::string& version = load_("tarvo").object<std::string>("__version__");
    say("TARVO DOĞRULAMA — v" + version);
    say(kRule);
    grup1_paket();
    grup2_kaynak();
    grup3_runtime();
    grup4_ortam();
    return verdict();
}

int verify_all(const std::string& db_path) {
    Verifier v(db_path);
    return v.run();
}

}  // namespace tarvo::dovrak
