// The verifier's report lines, verdict and exit status, and whole runs on a fake installation.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/fake_install.hpp"
#include "support/thrown.hpp"
#include "tarvo/core/console.hpp"
#include "tarvo/dovrak/verifier.hpp"
#include "tarvo/version.hpp"

namespace tarvo::dovrak {
namespace {

using core::ConsoleCapture;
using core::Value;
using Lines = std::vector<std::string>;
using testing::FakeInstall;
using testing::TempDir;

const std::string kRule(60, '=');

TEST(VerifierReport, LineForms) {
    struct Case {
        const char* name;
        std::function<void(Verifier&)> record;
        std::string line;
    };
    const std::vector<Case> cases = {
        {"pass, empty detail", [](Verifier& v) { v.check("import tarvo", true); }, "  ✓ import tarvo"},
        {"pass with detail", [](Verifier& v) { v.check("versiyon", true, "1.2.3", "x"); }, "  ✓ versiyon — 1.2.3"},
        {"fail shows no pass detail", [](Verifier& v) { v.check("quisar", false, "2 kik, 5 rkd"); }, "  ✗ quisar"},
        {"fail with detail", [](Verifier& v) { v.check("import marts", false, "ok", "AttributeError"); },
         "  ✗ import marts — AttributeError"},
        {"warning", [](Verifier& v) { v.warn("mdbtools", "opsiyonel — kurulu değil"); },
         "  ⚠ mdbtools — opsiyonel — kurulu değil"},
        {"warning, empty detail", [](Verifier& v) { v.warn("quisar"); }, "  ⚠ quisar"},
        {"skip", [](Verifier& v) { v.skip("runtime", "DB yok"); }, "  ○ runtime — DB yok"},
        {"skip, null detail", [](Verifier& v) { v.skip("fact_periodic", Value()); }, "  ○ fact_periodic"},
        {"null fail detail", [](Verifier& v) { v.check("x", false, "", Value()); }, "  ✗ x"},
        {"number detail in its text form", [](Verifier& v) { v.check("n", true, Value(int64_t{3})); }, "  ✓ n — 3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Verifier v("unused.duckdb");
        ConsoleCapture cap;
        c.record(v);
        EXPECT_EQ(cap.out_lines(), Lines{c.line});
    }
}

TEST(VerifierReport, VerdictAndExitStatus) {
    struct Case {
        const char* name;
        std::function<void(Verifier&)> record;
        Lines verdict;
        int status;
    };
    const std::vector<Case> cases = {
        {"all pass", [](Verifier& v) { v.check("a", true); v.check("b", true, "d"); },
         {"  ✓ Tüm kontroller geçti"}, 0},
        {"only skips", [](Verifier& v) { v.skip("runtime", "DB yok"); v.skip("versiyon"); },
         {"  ✓ Tüm kontroller geçti"}, 0},
        {"two warnings",
         [](Verifier& v) { v.check("a", true); v.warn("quisar", "yüklenemedi"); v.skip("s"); v.warn("mdbtools"); },
         {"  ⚠ 2 uyarı", "  ✓ Kritik hata yok — pipeline çalıştırılabilir"}, 0},
        {"one failure, three warnings",
         [](Verifier& v) { v.warn("w1"); v.check("f", false); v.warn("w2"); v.warn("w3"); },
         {"  ✗ 1 FAIL — pipeline çalıştırmayın"}, 1},
        {"failures are counted",
         [](Verifier& v) { v.check("f1", false); v.check("f2", false, "", "x"); v.check("f3", false); },
         {"  ✗ 3 FAIL — pipeline çalıştırmayın"}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Verifier v("unused.duckdb");
        {
            ConsoleCapture report;
            c.record(v);
        }
        ConsoleCapture cap;
        int status = v.verdict();
        Lines expected = {"", kRule};
        expected.insert(expected.end(), c.verdict.begin(), c.verdict.end());
        EXPECT_EQ(cap.out_lines(), expected);
        EXPECT_EQ(status, c.status);
    }
}

TEST(VerifierRun, FullReportOfAHealthyInstallation) {
    TempDir dir("tarvo-verify");
    testing::make_warehouse(dir / "ovik.duckdb", testing::silver_tables(3, 2));
    FakeInstall install;
    Verifier v(dir / "ovik.duckdb", install.loader(), {}, testing::all_components);
    ConsoleCapture cap;
    int status = v.run();
    Lines expected = {
        "TARVO DOĞRULAMA — v9.8.7",
        kRule,
        "",
        "[GRUP 1] Paket Bütünlüğü",
        "  ✓ import tarvo",
        "  ✓ import dalmer",
        "  ✓ import marts",
        "  ✓ import ronnel",
        "  ✓ import vandel",
        "  ✓ versiyon — 9.8.7",
    };
    const Lines grup2 = testing::with_heading("[GRUP 2] Kaynak Kod Kontrolleri", testing::kGrup2Passed);
    expected.insert(expected.end(), grup2.begin(), grup2.end());
    expected.insert(expected.end(), {
        "",
        "[GRUP 3] Runtime Kontrolleri",
        "  ✓ entity_id tipler — dim_entity=VARCHAR, fact_periodic=VARCHAR, map_identity=VARCHAR",
        "  ✓ entity_id JOIN",
        "  ✓ fact_periodic — 2 dönem, <1K firma",
        "  ✓ quisar — 1 kik, 3 rkd",
        "",
        "[GRUP 4] Ortam Uyumluluğu",
        "  ✓ duckdb — 1.0-duckdb",
        "  ✓ parquet — ?",
        "  ✓ cp1254 — 1.0-cp1254",
        "  ✓ mdbtools — 1.0-mdbtools",
        "",
        kRule,
        "  ✓ Tüm kontroller geçti",
    });
    EXPECT_EQ(cap.out_lines(), expected);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(v.fails.empty() && v.warns.empty() && v.skips.empty());
}

TEST(VerifierRun, AFailurePrintsTheWholeReportThenStatusOne) {
    TempDir dir("tarvo-verify");
    FakeInstall install;
    install.registry = modules::Registry();
    FakeInstall full;
    // Everything but the renderer.
    for (const char* name : {"tarvo", "tarvo.pipeline.dalmer", "tarvo.pipeline.marts", "tarvo.vandel", "tarvo.quisar"})
        install.registry.add(full.registry.load(name));
    Verifier v(dir / "missing.duckdb", install.loader(), {}, testing::all_components);
    ConsoleCapture cap;
    EXPECT_EQ(v.run(), 1);
    Lines out = cap.out_lines();
    for (const char* heading : {"[GRUP 1] Paket Bütünlüğü", "[GRUP 2] Kaynak Kod Kontrolleri",
                                "[GRUP 3] Runtime Kontrolleri", "[GRUP 4] Ortam Uyumluluğu"})
        EXPECT_NE(std::find(out.begin(), out.end(), heading), out.end()) << heading;
    EXPECT_NE(std::find(out.begin(), out.end(), "  ✗ import ronnel — ModuleNotFoundError"), out.end());
    EXPECT_NE(std::find(out.begin(), out.end(), "  ✗ kaynak kod — No module named 'tarvo.pipeline.ronnel'"),
              out.end());
    EXPECT_EQ(v.fails, (Lines{"import ronnel", "kaynak kod"}));
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(Lines(out.end() - 3, out.end()), (Lines{"", kRule, "  ✗ 2 FAIL — pipeline çalıştırmayın"}));
}

TEST(VerifierRun, APackageThatCannotBeLoadedEndsTheRunBeforeAnyLine) {
    FakeInstall install;
    install.registry = modules::Registry();
    Verifier v("missing.duckdb", install.loader(), {}, testing::all_components);
    ConsoleCapture cap;
    EXPECT_EQ(testing::thrown_by([&] { v.run(); }),
              (testing::Thrown{core::ErrorKind::ModuleNotFoundError, "No module named 'tarvo'"}));
    EXPECT_TRUE(cap.out().empty());
}

// The real build: the banner carries the build's version, a missing warehouse is skipped, and
// the exit status agrees with the verdict printed (what else passes depends on the tree).
TEST(VerifyAll, RealBuildOnAMissingWarehouse) {
    TempDir dir("tarvo-verify");
    ConsoleCapture cap;
    int status = verify_all((dir / "missing.duckdb").string());
    Lines out = cap.out_lines();
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ(out[0], std::string("TARVO DOĞRULAMA — v") + kVersion);
    EXPECT_NE(std::find(out.begin(), out.end(), std::string("  ✓ versiyon — ") + kVersion), out.end());
    EXPECT_NE(std::find(out.begin(), out.end(), "  ○ runtime — DB yok"), out.end());
    bool failed = out.back().rfind("  ✗ ", 0) == 0;
    EXPECT_EQ(status, failed ? 1 : 0);
}

// With no argument the warehouse is db/ovik.duckdb under the current directory.
TEST(VerifyAll, DefaultsToDbOvikUnderTheCurrentDirectory) {
    TempDir dir("tarvo-verify");
    testing::make_warehouse(dir / "db" / "ovik.duckdb", testing::silver_tables(2, 1));
    struct InDir {
        std::filesystem::path saved = std::filesystem::current_path();
        explicit InDir(const std::filesystem::path& p) { std::filesystem::current_path(p); }
        ~InDir() { std::filesystem::current_path(saved); }
    };
    ConsoleCapture cap;
    {
        InDir in(dir.path());
        verify_all();
    }
    Lines out = cap.out_lines();
    EXPECT_NE(std::find(out.begin(), out.end(), "  ✓ fact_periodic — 1 dönem, <1K firma"), out.end());
    // The feature information of this build, as registered.
    EXPECT_NE(std::find(out.begin(), out.end(), "  ✓ quisar — 1 kik, 5 rkd"), out.end());
    EXPECT_EQ(std::find(out.begin(), out.end(), "  ○ runtime — DB yok"), out.end());
}

TEST(VerifierModule, IsRegisteredWithItsEntries) {
    const modules::Module& m = modules::load("tarvo.dovrak");
    EXPECT_NO_THROW((m.entry<int(const std::string&)>("verify_all")));
    Verifier v = m.entry<Verifier(const std::string&)>("Verifier")("x/y.duckdb");
    EXPECT_EQ(v.db_path, std::filesystem::path("x/y.duckdb"));
    EXPECT_TRUE(v.fails.empty() && v.warns.empty() && v.skips.empty());
}

}  // namespace
}  // namespace tarvo::dovrak
