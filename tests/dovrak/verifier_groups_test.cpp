// The verifier's four check groups on fake installations and real warehouse files.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/fake_install.hpp"
#include "tarvo/core/console.hpp"
#include "tarvo/dovrak/verifier.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::dovrak {
namespace {

using core::ConsoleCapture;
using Lines = std::vector<std::string>;
using testing::FakeInstall;
using testing::TempDir;

using testing::with_heading;

struct GroupRun {
    Lines lines;
    Verifier verifier;
};

// Runs one check group of a verifier of `install` on the warehouse `db`, capturing its lines.
GroupRun run_group(void (Verifier::*group)(), FakeInstall& install,
                   const std::filesystem::path& db = "unused.duckdb", SizeSource sizes = {}) {
    Verifier v(db, install.loader(), std::move(sizes));
    ConsoleCapture cap;
    (v.*group)();
    return {cap.out_lines(), std::move(v)};
}

// ---- group 1 ---------------------------------------------------------------------------------

TEST(VerifierGrup1, ModulesEntriesAndVersion) {
    struct Case {
        const char* name;
        std::function<void(FakeInstall&)> change;
        Lines lines;
        Lines fails, skips;
    };
    const std::vector<Case> cases = {
        {"complete", [](FakeInstall&) {},
         {"  ✓ import tarvo", "  ✓ import dalmer", "  ✓ import marts", "  ✓ import ronnel", "  ✓ import vandel",
          "  ✓ versiyon — 9.8.7"},
         {}, {}},
        {"a module missing and a module lacking its entry",
         [](FakeInstall& i) {
             i.add_module("tarvo.pipeline.marts", "build_scoreboard", testing::kGoodScoreboard);
             modules::Registry kept;
             for (const char* n : {"tarvo", "tarvo.pipeline.dalmer", "tarvo.pipeline.marts", "tarvo.vandel"})
                 kept.add(i.registry.load(n));
             i.registry = std::move(kept);
         },
         {"  ✓ import tarvo", "  ✓ import dalmer", "  ✗ import marts — AttributeError",
          "  ✗ import ronnel — ModuleNotFoundError", "  ✓ import vandel", "  ✓ versiyon — 9.8.7"},
         {"import marts", "import ronnel"}, {}},
        {"the package missing",
         [](FakeInstall& i) {
             modules::Registry kept;
             for (const char* n : {"tarvo.pipeline.dalmer", "tarvo.pipeline.marts", "tarvo.pipeline.ronnel",
                                   "tarvo.vandel"})
                 kept.add(i.registry.load(n));
             i.registry = std::move(kept);
         },
         {"  ✗ import tarvo — ModuleNotFoundError", "  ✓ import dalmer", "  ✓ import marts", "  ✓ import ronnel",
          "  ✓ import vandel", "  ○ versiyon"},
         {"import tarvo"}, {"versiyon"}},
        {"the package without a version",
         [](FakeInstall& i) { i.add_module("tarvo", "", {}); },
         {"  ✓ import tarvo", "  ✓ import dalmer", "  ✓ import marts", "  ✓ import ronnel", "  ✓ import vandel",
          "  ○ versiyon"},
         {}, {"versiyon"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeInstall install;
        c.change(install);
        auto r = run_group(&Verifier::grup1_paket, install);
        EXPECT_EQ(r.lines, with_heading("[GRUP 1] Paket Bütünlüğü", c.lines));
        EXPECT_EQ(r.verifier.fails, c.fails);
        EXPECT_EQ(r.verifier.skips, c.skips);
        EXPECT_TRUE(r.verifier.warns.empty());
    }
}

// ---- group 2 ---------------------------------------------------------------------------------

constexpr std::string_view kTwoCasts = R"src(
void run_transforms(const std::string& db_path) {
    con.execute("DELETE FROM a WHERE CAST(muta AS BIGINT) NOT IN (SELECT muta FROM b)");
    con.execute(R"sql(DELETE FROM c WHERE CAST(muta AS BIGINT) NOT IN (SELECT muta FROM d))sql");
    keep_window(con, 12);
}
)src";
constexpr std::string_view kChainedScoreboard = R"src(
core::Document _build_scoreboard(vandel::Vandel& con) {
    auto first = con.execute(q).fetchdf().entity_id[0];
    auto last = con.execute(q).fetchdf().muta[n - 1];
    return build(first, last);
}
)src";
constexpr std::string_view kUncheckedRender = R"src(
void render_html(const core::Document& scoreboard, const fs::path& out) {
    write_page(scoreboard, out);
}
)src";

TEST(VerifierGrup2, SourcePatterns) {
    struct Case {
        const char* name;
        std::function<void(FakeInstall&)> change;
        Lines lines;
        Lines fails;
    };
    const std::vector<Case> cases = {
        {"every fix present", [](FakeInstall&) {}, testing::kGrup2Passed, {}},
        {"two forbidden casts and no fixes",
         [](FakeInstall& i) {
             i.add_module("tarvo.pipeline.dalmer", "run_transforms", kTwoCasts);
             i.add_module("tarvo.pipeline.marts", "_build_scoreboard", kChainedScoreboard);
             i.add_module("tarvo.pipeline.ronnel", "render_html", kUncheckedRender);
         },
         {"  ✗ dalmer: VARCHAR CAST — 2 BIGINT CAST", "  ✗ dalmer: son_12 parse", "  ✗ marts: entity_id normalize",
          "  ✗ marts: fetchdf zincirsiz — 2 zincir", "  ✗ render_html: dict kabul"},
         {"dalmer: VARCHAR CAST", "dalmer: son_12 parse", "marts: entity_id normalize", "marts: fetchdf zincirsiz",
          "render_html: dict kabul"}},
        {"only the definition of the operation is read",
         // The fixes sit in another operation of the same file: they do not count.
         [](FakeInstall& i) {
             i.add_module("tarvo.pipeline.ronnel", "render_html",
                          "void check(const Document& d) { if (!isinstance(d, dict)) throw 1; }\n"
                          "void render_html(const Document& d) { write(d); }\n");
         },
         {"  ✓ dalmer: VARCHAR CAST", "  ✓ dalmer: son_12 parse", "  ✓ marts: entity_id normalize",
          "  ✓ marts: fetchdf zincirsiz", "  ✗ render_html: dict kabul"},
         {"render_html: dict kabul"}},
        {"no source text for run_transforms",
         [](FakeInstall& i) { i.add_module("tarvo.pipeline.dalmer", "run_transforms", "int other() { return 1; }"); },
         {"  ✗ kaynak kod — could not get source code of 'run_transforms'"},
         {"kaynak kod"}},
        {"marts module missing: later checks are not made",
         [](FakeInstall& i) {
             modules::Registry kept;
             for (const char* n : {"tarvo", "tarvo.pipeline.dalmer", "tarvo.pipeline.ronnel"})
                 kept.add(i.registry.load(n));
             i.registry = std::move(kept);
         },
         {"  ✓ dalmer: VARCHAR CAST", "  ✓ dalmer: son_12 parse",
          "  ✗ kaynak kod — No module named 'tarvo.pipeline.marts'"},
         {"kaynak kod"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeInstall install;
        c.change(install);
        auto r = run_group(&Verifier::grup2_kaynak, install);
        EXPECT_EQ(r.lines, with_heading("[GRUP 2] Kaynak Kod Kontrolleri", c.lines));
        EXPECT_EQ(r.verifier.fails, c.fails);
    }
}

// ---- group 3 ---------------------------------------------------------------------------------

TEST(VerifierGrup3, Warehouses) {
    struct Case {
        const char* name;
        std::optional<std::string> sql;  // none: no warehouse file
        Lines lines;
        Lines fails, skips;
    };
    const std::vector<Case> cases = {
        {"no warehouse file", std::nullopt, {"  ○ runtime — DB yok"}, {}, {"runtime"}},
        {"no silver tables", "CREATE TABLE brz_kik_izleme(muta VARCHAR, donem VARCHAR)",
         {"  ○ entity_id tipler — tablolar henüz oluşturulmamış", "  ○ fact_periodic", "  ✓ quisar — 1 kik, 3 rkd"},
         {}, {"entity_id tipler", "fact_periodic"}},
        {"only dim_entity", "CREATE TABLE dim_entity(entity_id VARCHAR, segment VARCHAR)",
         {"  ✓ entity_id tipler — dim_entity=VARCHAR", "  ○ entity_id JOIN — tablo henüz oluşturulmamış",
          "  ○ fact_periodic", "  ✓ quisar — 1 kik, 3 rkd"},
         {}, {"entity_id JOIN", "fact_periodic"}},
        {"key types differ, distinct counts",
         "CREATE TABLE dim_entity AS SELECT CAST(i AS VARCHAR) AS entity_id FROM range(999) t(i);"
         "CREATE TABLE fact_periodic AS SELECT i AS entity_id, CAST(p AS VARCHAR) AS donem "
         "FROM range(999) t(i), (VALUES ('2401'), ('2402'), ('2403')) q(p);"
         "CREATE TABLE map_identity(unvan VARCHAR, entity_id INTEGER)",
         {"  ✓ entity_id tipler — dim_entity=VARCHAR, fact_periodic=BIGINT, map_identity=INTEGER",
          "  ✓ entity_id JOIN", "  ✓ fact_periodic — 3 dönem, <1K firma", "  ✓ quisar — 1 kik, 3 rkd"},
         {}, {}},
        {"a thousand firms", testing::silver_tables(1000, 2),
         {"  ✓ entity_id tipler — dim_entity=VARCHAR, fact_periodic=VARCHAR, map_identity=VARCHAR",
          "  ✓ entity_id JOIN", "  ✓ fact_periodic — 2 dönem, 1K-10K firma", "  ✓ quisar — 1 kik, 3 rkd"},
         {}, {}},
        {"keys that cannot be compared",
         "CREATE TABLE dim_entity AS SELECT 'abc' AS entity_id;"
         "CREATE TABLE fact_periodic AS SELECT [1] AS entity_id, '2401' AS donem",
         {"  ✓ entity_id tipler — dim_entity=VARCHAR, fact_periodic=INTEGER[]",
          "  ✗ entity_id JOIN — ConversionException", "  ✓ fact_periodic — 1 dönem, <1K firma",
          "  ✓ quisar — 1 kik, 3 rkd"},
         {"entity_id JOIN"}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir("tarvo-verify");
        std::filesystem::path db = dir / "ovik.duckdb";
        if (c.sql) testing::make_warehouse(db, *c.sql);
        FakeInstall install;
        auto r = run_group(&Verifier::grup3_runtime, install, db);
        EXPECT_EQ(r.lines, with_heading("[GRUP 3] Runtime Kontrolleri", c.lines));
        EXPECT_EQ(r.verifier.fails, c.fails);
        EXPECT_EQ(r.verifier.skips, c.skips);
        EXPECT_TRUE(r.verifier.warns.empty());
    }
}

TEST(VerifierGrup3, FirmCountBuckets) {
    TempDir dir("tarvo-verify");
    std::filesystem::path db = dir / "ovik.duckdb";
    testing::make_warehouse(db, testing::silver_tables(2, 1));
    const std::vector<std::pair<int64_t, std::string>> cases = {
        {0, "<1K"},         {999, "<1K"},         {1000, "1K-10K"},       {9999, "1K-10K"}, {10000, "10K-100K"},
        {99999, "10K-100K"}, {100000, "100K-1M"}, {999999, "100K-1M"}, {1000000, "1M+"},  {25000000, "1M+"},
    };
    for (const auto& [firms, bucket] : cases) {
        SCOPED_TRACE(firms);
        FakeInstall install;
        auto r = run_group(&Verifier::grup3_runtime, install, db,
                           [n = firms](vandel::Vandel&) { return FactSize{12, n}; });
        ASSERT_EQ(r.lines.size(), 6u);
        EXPECT_EQ(r.lines[4], "  ✓ fact_periodic — 12 dönem, " + bucket + " firma");
    }
}

TEST(VerifierGrup3, GuardsOfTheGroup) {
    TempDir dir("tarvo-verify");
    std::filesystem::path db = dir / "ovik.duckdb";
    testing::make_warehouse(db, testing::silver_tables(5, 2));
    const Lines ok_types = {"  ✓ entity_id tipler — dim_entity=VARCHAR, fact_periodic=VARCHAR, map_identity=VARCHAR",
                            "  ✓ entity_id JOIN"};
    struct Case {
        const char* name;
        std::function<void(FakeInstall&)> change;
        SizeSource sizes;
        Lines tail;  // lines after the JOIN check
        Lines warns, skips;
    };
    const std::vector<Case> cases = {
        {"empty CISS list", [](FakeInstall& i) { i.set_fi(quisar::FI{{}, {"PIGD"}}); }, {},
         {"  ✓ fact_periodic — 2 dönem, <1K firma", "  ⚠ quisar — boş — fallback"}, {"quisar"}, {}},
        {"feature information of another type", [](FakeInstall& i) { i.add_module("tarvo.quisar", "", {}).add("FI", 7); },
         {}, {"  ✓ fact_periodic — 2 dönem, <1K firma", "  ⚠ quisar — yüklenemedi"}, {"quisar"}, {}},
        {"size query failing",
         [](FakeInstall&) {},
         [](vandel::Vandel&) -> FactSize { throw vandel::WarehouseError(core::ErrorKind::CatalogException, "no table"); },
         {"  ○ fact_periodic", "  ✓ quisar — 1 kik, 3 rkd"}, {}, {"fact_periodic"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeInstall install;
        c.change(install);
        auto r = run_group(&Verifier::grup3_runtime, install, db, c.sizes);
        Lines expected = ok_types;
        expected.insert(expected.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(r.lines, with_heading("[GRUP 3] Runtime Kontrolleri", expected));
        EXPECT_TRUE(r.verifier.fails.empty());
        EXPECT_EQ(r.verifier.warns, c.warns);
        EXPECT_EQ(r.verifier.skips, c.skips);
    }
}

TEST(VerifierGrup3, ConnectionFailures) {
    TempDir dir("tarvo-verify");
    testing::write_bytes(dir / "garbage.duckdb", "not a warehouse\n");
    testing::make_warehouse(dir / "ovik.duckdb", testing::silver_tables(5, 2));
    struct Case {
        const char* name;
        const char* file;
        bool drop_engine;
        std::string line;
    };
    const std::vector<Case> cases = {
        {"not a warehouse file", "garbage.duckdb", false, "  ✗ DB bağlantı — IOException"},
        {"warehouse engine missing", "ovik.duckdb", true, "  ✗ DB bağlantı — ModuleNotFoundError"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeInstall install;
        if (c.drop_engine) {
            modules::Registry kept;
            kept.add(install.registry.load("tarvo.quisar"));
            install.registry = std::move(kept);
        }
        auto r = run_group(&Verifier::grup3_runtime, install, dir / c.file);
        EXPECT_EQ(r.lines, with_heading("[GRUP 3] Runtime Kontrolleri", {c.line}));
        EXPECT_EQ(r.verifier.fails, Lines{"DB bağlantı"});
    }
}

TEST(VerifierGrup3, OpensTheWarehouseReadOnlyAndClosesIt) {
    TempDir dir("tarvo-verify");
    std::filesystem::path db = dir / "ovik.duckdb";
    testing::make_warehouse(db, testing::silver_tables(5, 2));
    std::vector<std::pair<std::string, vandel::Access>> opened;
    FakeInstall install;
    install.add_module("tarvo.vandel", "", {}).add_function<vandel::Vandel(const std::string&, vandel::Access)>(
        "Vandel", [&opened](const std::string& path, vandel::Access a) {
            opened.emplace_back(path, a);
            return vandel::Vandel(path, a);
        });
    auto r = run_group(&Verifier::grup3_runtime, install, db);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].first, db.string());
    EXPECT_TRUE(opened[0].second == vandel::Access::read_only);
    EXPECT_TRUE(r.verifier.fails.empty());
    // Closed again: the file opens for writing right after.
    EXPECT_NO_THROW(testing::make_warehouse(db, "CREATE TABLE t(x INT)"));
}

// ---- group 4 ---------------------------------------------------------------------------------

TEST(VerifierGrup4, ComponentOutcomes) {
    struct Case {
        const char* name;
        ComponentProber prober;
        Lines lines;
        Lines fails, warns;
    };
    const std::vector<Case> cases = {
        {"all present", testing::all_components,
         {"  ✓ duckdb — 1.0-duckdb", "  ✓ parquet — ?", "  ✓ cp1254 — 1.0-cp1254", "  ✓ mdbtools — 1.0-mdbtools"},
         {}, {}},
        {"nothing present",
         [](std::string_view c) -> std::optional<std::string> {
             if (c == "parquet") throw vandel::WarehouseError(core::ErrorKind::IOException, "cannot load");
             return std::nullopt;
         },
         {"  ✗ duckdb — kurulu değil", "  ✗ parquet — kurulu değil", "  ✗ cp1254 — kurulu değil",
          "  ⚠ mdbtools — opsiyonel — kurulu değil"},
         {"duckdb", "parquet", "cp1254"}, {"mdbtools"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Verifier v("unused.duckdb", {}, {}, c.prober);
        ConsoleCapture cap;
        v.grup4_ortam();
        EXPECT_EQ(cap.out_lines(), with_heading("[GRUP 4] Ortam Uyumluluğu", c.lines));
        EXPECT_EQ(v.fails, c.fails);
        EXPECT_EQ(v.warns, c.warns);
    }
}

TEST(VerifierGrup4, RealProbesOfThisBuild) {
    EXPECT_EQ(probe_component("duckdb"), vandel::library_version());
    auto parquet = probe_component("parquet");
    ASSERT_TRUE(parquet.has_value());
    EXPECT_FALSE(parquet->empty());
    EXPECT_TRUE(probe_component("cp1254").has_value());
    EXPECT_EQ(probe_component("mdbtools").has_value(), TARVO_HAVE_MDBTOOLS != 0);
    EXPECT_FALSE(probe_component("unknown-component").has_value());
}

}  // namespace
}  // namespace tarvo::dovrak
