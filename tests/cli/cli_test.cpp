// The command line as a user runs it: exit statuses, the whole error line and its hint, and
// that a mistake is caught before anything is deleted.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/source_files.hpp"
#include "support/tarvo_process.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace {

namespace fs = std::filesystem;
using tarvo::testing::Outcome;
using tarvo::testing::run_tarvo;
using tarvo::testing::write_bytes;

// The back-test command exists only in a build with the predictor.
#if TARVO_HAVE_PREDICTOR
const std::string kCommands = "ingest, transform, marts, run, backtest, verify, demo";
#else
const std::string kCommands = "ingest, transform, marts, run, verify, demo";
#endif

const std::string kKeys =
    "kik_data_ham_csv, kredi_db, yis_tahmin_data, eus_tahmin_data, eus_hedef_muta, eus_sql_kapsam_muta, "
    "statik_db, yis_train_data, rkd_donem_data, memzuc_data_donem";

// A firm name that must never reach a console.
const std::string kSecret = "GİZLİ HOLDİNG A.Ş.";

TEST(CommandLine, VersionAndHelp) {
    Outcome v = run_tarvo({"--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out.rfind("tarvo 0.1.0 (DuckDB v1.4.4)", 0), 0u) << v.out;
    Outcome h = run_tarvo({"--help"});
    EXPECT_EQ(h.status, 0);
    for (const char* cmd : {"ingest", "transform", "marts", "run", "verify", "demo"})
        EXPECT_NE(h.out.find(std::string("  ") + cmd + " "), std::string::npos) << cmd;
    EXPECT_EQ(run_tarvo({"marts", "--help"}).status, 0);
    // Every command that opens the warehouse takes the engine's limits and shows their defaults.
    std::vector<std::string> opening = {"ingest", "transform", "marts", "run", "verify", "demo"};
#if TARVO_HAVE_PREDICTOR
    opening.push_back("backtest");
#endif
    for (const std::string& cmd : opening) {
        const Outcome help = run_tarvo({cmd, "--help"});
        EXPECT_EQ(help.status, 0) << cmd;
        for (const char* text : {"--memory-limit SIZE", "(default: half of this machine's memory, at most 1 GiB; here ",
                                 "--threads N", "(default: one per core, at most 4; here "})
            EXPECT_NE(help.out.find(text), std::string::npos) << cmd << ": " << text;
    }
}

// A tree with one monitoring list holding a firm name, an old warehouse and a text file.
class CommandLineMistake : public ::testing::Test {
protected:
    void SetUp() override {
        tarvo::testing::write_cp1254(src / "kik_data_ham_csv" / "Kurumsal_20250302.csv",
                                     "Must No;Must Ad\n0001000011;" + kSecret + "\n22;b\n");
        fs::create_directories(root / "db");
        {
            tarvo::vandel::Vandel old(db);
            old.execute("CREATE TABLE kept (x INTEGER); INSERT INTO kept VALUES (7)");
        }
        write_bytes(notes, "my notes\n");
        warehouse = tarvo::core::read_file(db);
    }
    // The old warehouse and the notes are as they were.
    void expect_untouched() {
        EXPECT_TRUE(tarvo::core::read_file(db) == warehouse);
        EXPECT_EQ(tarvo::core::read_file(notes), "my notes\n");
    }
    std::string p(const std::string& rel) const { return (root / rel).string(); }
    bool no_output_files() const {
        if (!fs::exists(root / "outputs")) return true;
        for (const auto& entry : fs::recursive_directory_iterator(root / "outputs"))
            if (!entry.is_directory()) return false;
        return true;
    }

    tarvo::core::TempDir root{"tarvo-cli"};
    fs::path src = root / "src";
    std::string db = (root / "db" / "ovik.duckdb").string();
    std::string notes = (root / "notes.txt").string();
    std::string warehouse;
};

struct Mistake {
    std::vector<std::string> args;
    int status;
    std::string err;
};

TEST_F(CommandLineMistake, OneLineHintAndNothingLost) {
    const std::string s = src.string();
    const std::string long_dir = "/" + std::string(400, 'x');
    const std::string long_head = "tarvo: FileNotFoundError: source directory ";
    const std::vector<Mistake> mistakes{
        // Usage errors: status 2, the closest word suggested.
        {{}, 2, "tarvo: a command is required (commands: " + kCommands + ")\n"},
        {{"inget", s, db}, 2, "tarvo: unknown command 'inget' (did you mean ingest?)\n"},
        {{"frobnicate"}, 2,
         "tarvo: unknown command 'frobnicate' (commands: " + kCommands + ")\n"},
        {{"marts", db, "--sufix", "_x"}, 2, "tarvo marts: unknown option '--sufix' (did you mean --suffix?)\n"},
        {{"marts", db, "--zzz"}, 2, "tarvo marts: unknown option '--zzz' (options: --help, --output-dir, --suffix, --no-predictor, "
         "--memory-limit, --threads)\n"},
        {{"ingest", s}, 2, "tarvo ingest: DB_PATH is required\n"},
        {{"ingest", s, db, "extra"}, 2, "tarvo ingest: unexpected argument 'extra'\n"},
        {{"ingest", s, db, "--data-path", "nokey"}, 2, "tarvo ingest: --data-path wants KEY=DIR, got 'nokey'\n"},
        {{"run", s, db, "--data-path", "kredi=" + s}, 2,
         "tarvo run: unknown --data-path key 'kredi' (did you mean kredi_db?); valid keys: " + kKeys + "\n"},
        {{"ingest", s, db, "--data-path", "zz=" + s}, 2,
         "tarvo ingest: unknown --data-path key 'zz'; valid keys: " + kKeys + "\n"},
        {{"run", s, db, "--suffix", "_2025/12"}, 2,
         "tarvo run: --suffix: the file suffix '_2025/12' holds a path separator; output files stay in their "
         "directory\n"},
        // The engine's limits, on every command that opens the warehouse.
        {{"marts", db, "--memory-limit", "lots"}, 2,
         "tarvo marts: --memory-limit: wants a size such as 512MB or 2GiB, got 'lots'\n"},
        {{"ingest", s, db, "--memory-limit", "16MB"}, 2,
         "tarvo ingest: --memory-limit: '16MB' is below the smallest limit, 64 MiB\n"},
        {{"run", s, db, "--threads", "0"}, 2, "tarvo run: --threads: wants a whole number from 1 to 256, got '0'\n"},
        {{"transform", db, "--threads", "two"}, 2,
         "tarvo transform: --threads: wants a whole number from 1 to 256, got 'two'\n"},
        {{"verify", db, "--memory-limit", "1G"}, 2,
         "tarvo verify: --memory-limit: wants a size such as 512MB or 2GiB, got '1G'\n"},
        {{"demo", "--dir", p("demo"), "--threads", "1.5"}, 2,
         "tarvo demo: --threads: wants a whole number from 1 to 256, got '1.5'\n"},
        // Errors of the command: status 1, a hint for the common mistakes.
        {{"ingest", "/no/such/dir", db}, 1, "tarvo: FileNotFoundError: source directory /no/such/dir does not exist\n"},
        {{"run", "/no/such/dir", db}, 1, "tarvo: FileNotFoundError: source directory /no/such/dir does not exist\n"},
        {{"ingest", db, s}, 1,
         "tarvo: NotADirectoryError: source directory " + db + " is not a directory\n"
         "hint: the arguments look swapped; SOURCE_DIR comes first: tarvo ingest " + s + " " + db + "\n"},
        {{"run", p("db/new.duckdb"), s}, 1,
         "tarvo: FileNotFoundError: source directory " + p("db/new.duckdb") + " does not exist\n"
         "hint: the arguments look swapped; SOURCE_DIR comes first: tarvo run " + s + " " + p("db/new.duckdb") +
             "\n"},
        {{"ingest", s, p("db")}, 1,
         "tarvo: IsADirectoryError: warehouse path " + p("db") + " is a directory, not a file\n"
         "hint: DB_PATH names the warehouse file, not its directory, e.g. " + p("db/ovik.duckdb") + "\n"},
        {{"marts", p("db")}, 1,
         "tarvo: IsADirectoryError: warehouse path " + p("db") + " is a directory, not a file\n"
         "hint: DB_PATH names the warehouse file, not its directory, e.g. " + p("db/ovik.duckdb") + "\n"},
        {{"ingest", s, p("nodir/w.duckdb")}, 1,
         "tarvo: FileNotFoundError: warehouse directory " + p("nodir") + " does not exist\n"
         "hint: create the directory first: mkdir -p " + p("nodir") + "\n"},
        {{"ingest", s, notes}, 1,
         "tarvo: FileExistsError: " + notes + " is not a warehouse file; it was left as it is\n"
         "hint: name a new file or an existing warehouse, or add --force to replace " + notes + "\n"},
        {{"run", s, db, "--output-dir", notes + "/json"}, 1,
         "tarvo: OSError: cannot create directory " + notes + "/json: Not a directory\n"},
        {{"transform", p("db/none.duckdb")}, 1,
         "tarvo: FileNotFoundError: warehouse " + p("db/none.duckdb") + " does not exist\n"
         "hint: build the warehouse first: tarvo ingest SOURCE_DIR " + p("db/none.duckdb") +
             " (or tarvo run SOURCE_DIR " + p("db/none.duckdb") + ")\n"},
        {{"marts", db}, 1,
         "tarvo: CatalogException: Catalog Error: Table with name fact_periodic does not exist!\n"
         "hint: the warehouse has no silver tables yet; run 'tarvo transform " + db + "' first, or 'tarvo run "
         "SOURCE_DIR " + db + "' for the whole pipeline\n"},
        // A message longer than a line is cut.
        {{"ingest", long_dir, db}, 1,
         long_head + long_dir.substr(0, 300 - long_head.size() - std::string("…").size()) + "…\n"},
    };
    for (const Mistake& m : mistakes) {
        std::string shown;
        for (const std::string& a : m.args) shown += a + " ";
        SCOPED_TRACE(shown);
        const Outcome r = run_tarvo(m.args);
        EXPECT_EQ(r.status, m.status);
        EXPECT_EQ(r.err, m.err);
        if (m.status == 2) {
            EXPECT_EQ(r.out, "");
        }
        EXPECT_EQ(r.out.find(kSecret), std::string::npos);
        EXPECT_EQ(r.err.find(kSecret), std::string::npos);
        expect_untouched();
        EXPECT_TRUE(no_output_files()) << "outputs written before the mistake was found";
    }
}

TEST_F(CommandLineMistake, ForceReplacesAFileThatIsNotAWarehouse) {
    const Outcome r = run_tarvo({"ingest", src.string(), notes, "--force"});
    EXPECT_EQ(r.status, 0) << r.err;
    tarvo::vandel::Vandel con(notes, tarvo::vandel::Access::read_only);
    EXPECT_EQ(con.fetchall("SELECT COUNT(*) FROM brz_kik_izleme").at(0).at(0).as_int(), 2);
}

TEST_F(CommandLineMistake, EngineLimitsAreTakenByTheCommands) {
    const Outcome r = run_tarvo({"ingest", src.string(), db, "--memory-limit", "512MiB", "--threads", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("  brz_kik_izleme: 2 rows\n"), std::string::npos) << r.out;
    // The text reader's buffer follows the line limit, so even the smallest limit accepted reads an
    // extract.
    const Outcome smallest = run_tarvo({"ingest", src.string(), db, "--memory-limit", "64MiB"});
    EXPECT_EQ(smallest.status, 0) << smallest.err;
    // The verifier opens the warehouse read-only with them.
    const Outcome v = run_tarvo({"verify", db, "--memory-limit", "1 GB", "--threads", "2"});
    EXPECT_EQ(v.status, 0) << v.err;
    EXPECT_NE(v.out.find("\n[GRUP 3] Runtime Kontrolleri\n"), std::string::npos) << v.out;
}

// Filter lines are customer numbers in any written form; other lines are counted and the first shown.
TEST_F(CommandLineMistake, MutaFilterLinesAreNormalisedAndIgnoredOnesReported) {
    write_bytes(root / "filter.txt", "0001000011\r\nabc\n\n 12x\n");
    const Outcome r = run_tarvo({"ingest", src.string(), db, "--muta-filter", p("filter.txt")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1),
              "  [WARN] muta filter: 2 lines ignored, not customer numbers (first: line 2 \"abc\")\n");
    EXPECT_NE(r.out.find("  brz_kik_izleme: 1 rows\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(kSecret), std::string::npos);
}

// A failed ingest keeps the last good warehouse.
TEST_F(CommandLineMistake, FailedIngestLeavesThePreviousWarehouse) {
    write_bytes(src / "kik_data_ham_csv" / "Kurumsal_B_20250302.csv", "Must No;Must Ad\n1;a;b\n");
    const Outcome r = run_tarvo({"ingest", src.string(), db});
    EXPECT_EQ(r.status, 1);
    expect_untouched();
    EXPECT_EQ(tarvo::core::sorted_glob(root / "db", "*"), std::vector<fs::path>{fs::path(db)});
}

// After the marts and a whole run: the files written with their sizes, the counts, the dashboards.
TEST_F(CommandLineMistake, ClosingBlockSaysWhereTheResultsAre) {
    const Outcome r = run_tarvo({"run", src.string(), db, "--suffix", "_t"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string size = " \\([0-9]+(\\.[0-9] [KMG]B| B)\\)\n";
    const std::string json = p("outputs/json/"), html = p("outputs/html/");
    const std::regex block("[\\s\\S]*\n\n  Files written:\n    " + json + "sube_bolge_ref_t\\.csv" + size + "    " + json +
                           "sample_trending_lists_t\\.json" + size + "    " + json + "sample_scoreboard_t\\.json" +
                           size + "  Dashboards:\n    " + html + "ovik_dashboard_t\\.html" + size + "    " + html +
                           "ovik_dashboard_yonetici_t\\.html" + size + "    " + html +
                           "ovik_dashboard_admin_t\\.html" + size + "  Skipped sources: 9, warnings: [0-9]+\n");
    EXPECT_TRUE(std::regex_match(r.out, block)) << r.out;
    const Outcome m = run_tarvo({"marts", db, "--suffix", "_t"});
    ASSERT_EQ(m.status, 0) << m.err;
    EXPECT_TRUE(std::regex_match(m.out, std::regex("[\\s\\S]*\n  Dashboards:\n(    .*\n){3}  Warnings: [0-9]+\n")))
        << m.out;
}

}  // namespace
