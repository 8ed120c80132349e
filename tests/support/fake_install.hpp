// A fake installation for the verifier tests: a private module registry whose modules carry
// the entries the verifier looks up and source texts written by the test, the real warehouse
// engine, and warehouse files built in a temporary directory; and the report lines that such an
// installation and this build both give.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "support/source_files.hpp"
#include "tarvo/dovrak/verifier.hpp"
#include "tarvo/modules/registry.hpp"
#include "tarvo/quisar/fi.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::testing {

// Source texts that carry every fix group 2 looks for.
inline constexpr std::string_view kGoodTransforms = R"src(
void run_transforms(const std::string& db_path) {
    vandel::Vandel con(db_path);
    keep_periods(con, "son_12");
    for (auto& code : literal_eval(raw)) codes.push_back(code);
    con.execute("DELETE FROM x WHERE CAST(muta AS VARCHAR) NOT IN (SELECT muta FROM y)");
}
)src";
inline constexpr std::string_view kGoodScoreboard = R"src(
core::Document _build_scoreboard(vandel::Vandel& con) {
    core::Column keys = con.query(kFirms)["entity_id"].astype(str);
    return core::Document::rows(build(keys));
}
)src";
inline constexpr std::string_view kGoodRender = R"src(
void render_html(const core::Document& scoreboard, const fs::path& out) {
    if (!isinstance(scoreboard, dict)) throw core::TypeError("scoreboard must be a mapping");
    write_page(scoreboard, out);
}
)src";

// Group 2's check lines where every fix is present (in the sources above and in this build's).
inline const std::vector<std::string> kGrup2Passed = {
    "  ✓ dalmer: VARCHAR CAST",     "  ✓ dalmer: son_12 parse", "  ✓ marts: entity_id normalize",
    "  ✓ marts: fetchdf zincirsiz", "  ✓ render_html: dict kabul",
};

// A group's lines as the report prints them: an empty line, the group's heading, its checks.
inline std::vector<std::string> with_heading(const std::string& heading, const std::vector<std::string>& lines) {
    std::vector<std::string> out = {"", heading};
    out.insert(out.end(), lines.begin(), lines.end());
    return out;
}

class FakeInstall {
public:
    FakeInstall() {
        add_module("tarvo", "", {}).add("__version__", std::string("9.8.7"));
        add_module("tarvo.pipeline.dalmer", "run_transforms", kGoodTransforms);
        add_module("tarvo.pipeline.marts", "_build_scoreboard", kGoodScoreboard);
        add_module("tarvo.pipeline.ronnel", "render_html", kGoodRender);
        add_module("tarvo.vandel", "", {}).add_function<vandel::Vandel(const std::string&, vandel::Access)>(
            "Vandel", [](const std::string& path, vandel::Access a) { return vandel::Vandel(path, a); });
        set_fi(quisar::FI{{"ciss_flag"}, {"PIGD", "PSCD", "A"}});
    }

    // Adds (or replaces) a module with one operation entry (none when `entry` is empty) and one
    // source file holding `source`.
    modules::Module& add_module(const std::string& name, const std::string& entry, std::string_view source) {
        modules::Module m(name);
        if (!entry.empty()) m.add_function<void()>(entry, [] {});
        if (!source.empty()) m.add_source(name + "/fake.cpp", texts_.emplace_back(source));
        return registry.add(std::move(m));
    }
    void set_fi(quisar::FI fi) {
        add_module("tarvo.quisar", "", {}).add("FI", std::move(fi));
    }

    dovrak::ModuleLoader loader() {
        return [this](std::string_view name) -> const modules::Module& { return registry.load(name); };
    }

    modules::Registry registry;

private:
    std::deque<std::string> texts_;  // source texts outlive the modules that view them
};

// Every component present; "parquet" publishes no version.
inline std::optional<std::string> all_components(std::string_view c) {
    return c == "parquet" ? std::string() : "1.0-" + std::string(c);
}

// Creates a warehouse file at `path` (and its directory) and runs `sql` on it.
inline void make_warehouse(const fs::path& path, std::string_view sql) {
    fs::create_directories(path.parent_path());
    vandel::Vandel con(path.string());
    if (!sql.empty()) con.execute(sql);
    con.close();
}

// The three silver tables with `firms` firms over `periods` periods (all three key columns text).
inline std::string silver_tables(int firms, int periods) {
    return "CREATE TABLE dim_entity AS SELECT CAST(i AS VARCHAR) AS entity_id, 'KOBI' AS segment "
           "FROM range(" + std::to_string(firms) + ") t(i);"
           "CREATE TABLE map_identity AS SELECT entity_id, 'Firma' AS unvan FROM dim_entity;"
           "CREATE TABLE fact_periodic AS SELECT e.entity_id, CAST(2400 + p AS VARCHAR) AS donem, "
           "500.0 AS ovik_skor FROM dim_entity e, range(1, " + std::to_string(periods + 1) + ") q(p)";
}

}  // namespace tarvo::testing
