#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/source_files.hpp"
#include "support/warehouse_rows.hpp"
#include "tarvo/core/console.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/lodrin/lodrin.hpp"
#include "tarvo/modules/registry.hpp"
#include "tarvo/pipeline/ingest/driver.hpp"
#include "tarvo/pipeline/ingest/warehouse_rebuild.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::ingest {
namespace {

using testing::TempDir;

const std::vector<std::string> kSkipLines{
    "  [SKIP] kik_data_ham_csv not found",  "  [SKIP] kredi_db not found",
    "  [SKIP] yis_tahmin_data not found",   "  [SKIP] eus_tahmin_data not found",
    "  [SKIP] eus_hedef_muta not found",    "  [SKIP] eus_sql_kapsam_muta not found",
    "  [SKIP] statik_db not found",         "  [SKIP] yis_train_data not found",
    "  [SKIP] rkd_donem_data not found",    "  [SKIP] memzuc_data_donem not found",
};

std::vector<std::string> with_skips_except_first(std::vector<std::string> first, std::vector<std::string> tail) {
    std::vector<std::string> out = std::move(first);
    out.insert(out.end(), kSkipLines.begin() + 1, kSkipLines.end());
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

TEST(ResolveDir, MappedKeyWinsUnchanged) {
    const DataPaths paths{{"kredi_db", "rel/kredi"}, {"statik_db", "/abs/statik"}};
    EXPECT_EQ(_resolve_dir("/src", "kredi_db", paths), fs::path("rel/kredi"));
    EXPECT_EQ(_resolve_dir("/src", "statik_db", paths), fs::path("/abs/statik"));
    EXPECT_EQ(_resolve_dir("/src", "memzuc_data_donem", paths), fs::path("/src/memzuc_data_donem"));
    EXPECT_EQ(_resolve_dir("/src", "kredi_db", {}), fs::path("/src/kredi_db"));
}

class SqlFileTest : public ::testing::Test {
protected:
    std::vector<std::string> tables_after(const std::string& sql) {
        testing::write_bytes(dir / "t.sql", sql);
        _execute_sql_file(con, dir / "t.sql");
        return testing::query_rows(con, "SELECT table_name FROM information_schema.tables ORDER BY 1");
    }
    TempDir dir{"tarvo-sql"};
    vandel::Vandel con{":memory:"};
};

TEST_F(SqlFileTest, CommentLinesDroppedThenSplitAtEverySemicolon) {
    const std::string sql =
        "-- definitions; all of them\n"
        "   -- an indented comment line\n"
        "\n"
        "CREATE TABLE a (\n"
        "    -- a comment line inside a statement; its ';' is gone with it\n"
        "    x INTEGER\n"
        ");\n"
        "CREATE TABLE b (x VARCHAR DEFAULT 'p;q');\n"
        "CREATE TABLE c (x INTEGER); -- the comment after it is a piece of its own\n"
        "NOT A STATEMENT;\n"
        "INSERT INTO c VALUES (1) -- code before a comment stays\n"
        ";\r\n"
        "CREATE TABLE d (x INTEGER)";
    EXPECT_EQ(tables_after(sql), (std::vector<std::string>{"'a'", "'c'", "'d'"}));
    EXPECT_EQ(testing::query_rows(con, "SELECT * FROM c"), std::vector<std::string>{"1"});
}

TEST_F(SqlFileTest, CommentsAndBlankLinesOnlyExecuteNothing) {
    EXPECT_TRUE(tables_after("-- nothing here\n\n   \n  -- CREATE TABLE z (x INTEGER);\n").empty());
    EXPECT_TRUE(tables_after("").empty());
}

TEST(DdlPath, BuildTreeAndInstalledTree) {
    const fs::path build_dir = TARVO_SQL_DIR_BUILD;
    EXPECT_EQ(lodrin::get_ddl_path(), build_dir);
    EXPECT_EQ(core::sorted_glob(lodrin::get_ddl_path(), "*.sql").size(), 10u);

    TempDir prefix{"tarvo-prefix"};
    EXPECT_EQ(lodrin::ddl_path_for_program(prefix / "bin" / "tarvo"), build_dir);
    fs::create_directories(prefix / "share" / "tarvo" / "sql" / "bronze");
    EXPECT_EQ(lodrin::ddl_path_for_program(prefix / "bin" / "tarvo"), prefix / "share" / "tarvo" / "sql" / "bronze");

    auto registered = modules::load("tarvo.lodrin").entry<fs::path()>("get_ddl_path");
    EXPECT_EQ(registered(), build_dir);
}

// Every brz_ table has the columns of the bronze contract, in order.
TEST(BronzeDefinitions, ColumnsInContractOrder) {
    vandel::Vandel con(":memory:");
    _create_bronze_tables(con);
    const std::vector<std::pair<std::string, std::vector<std::string>>> contract{
        {"brz_kik_izleme",
         {"muta", "donem", "ykn_izl_flag", "tfrs_rating", "rating_tarihi", "kik_risk", "unvan", "gckm_gun_say",
          "erkn_izlm_kod", "ciss_flag"}},
        {"brz_kredi_risk", {"muta", "donem", "kredi_risk"}},
        {"brz_yis_tahmin", {"muta", "donem", "yis_skor", "yis_ihtimal", "yis_label"}},
        {"brz_eus_tahmin", {"muta", "donem", "eus_skor", "eus_ihtimal"}},
        {"brz_eus_hedef", {"muta", "donem"}},
        {"brz_eus_kapsam", {"muta", "donem"}},
        {"brz_statik",
         {"muta", "bolge_kodu", "bolge_adi", "sube_kodu", "sube_adi", "must_tip_kodu", "grup_kodu", "grup_tanimi",
          "firma_otorize_kodu", "aksiyon_sahibi", "kri_bolum"}},
        {"brz_train_features", {"muta", "donem", "segment"}},
        {"brz_rkd_kriter", {"muta", "donem", "min_uzak_gun", "sifir_flag"}},
        {"brz_memzuc", {"muta", "donem", "idari_kanuni_takip", "ikt_6ay_ort"}},
    };
    for (const auto& [table, columns] : contract) EXPECT_EQ(con.column_names(table), columns) << table;
    EXPECT_EQ(con.fetchall("SHOW TABLES").size(), contract.size());
}

class RunIngestTest : public ::testing::Test {
protected:
    std::vector<std::string> run(const DataPaths& paths = {}, const MutaFilter& filter = std::nullopt) {
        core::ConsoleCapture capture;
        run_ingest(src.path(), db, paths, filter);
        return capture.out_lines();
    }
    std::vector<std::string> rows(std::string_view sql) {
        vandel::Vandel con(db.string(), vandel::Access::read_only);
        return testing::query_rows(con, sql);
    }
    void kik_file(const fs::path& dir, const std::string& utf8) {
        testing::write_cp1254(dir / "Kurumsal_20250302.csv", utf8);
    }

    TempDir src{"tarvo-src"};
    TempDir out{"tarvo-db"};
    fs::path db = out / "w.duckdb";
};

TEST_F(RunIngestTest, EmptySourceTreeSkipsEverySource) {
    std::vector<std::string> want = kSkipLines;
    want.insert(want.end(), {"", "  Bronze tables: 10"});
    EXPECT_EQ(run(), want);
    EXPECT_TRUE(fs::exists(db));
}

TEST_F(RunIngestTest, SummaryListsTablesHoldingRows) {
    kik_file(src / "kik_data_ham_csv", "Must No;Must Ad\n1;a\n2;b\n3;c\n");
    EXPECT_EQ(run(), with_skips_except_first({"  brz_kik_izleme: 3 rows"},
                                            {"", "  Bronze tables: 10", "    brz_kik_izleme: 3"}));
    EXPECT_EQ(run({}, std::unordered_set<std::string>{"2"}),
              with_skips_except_first({"  brz_kik_izleme: 1 rows"},
                                      {"", "  Bronze tables: 10", "    brz_kik_izleme: 1"}));
    EXPECT_EQ(rows("SELECT muta, unvan FROM brz_kik_izleme"), std::vector<std::string>{"'2' | 'b'"});
}

TEST_F(RunIngestTest, MappedDirectoryWinsEvenWhenMissing) {
    kik_file(src / "kik_data_ham_csv", "Must No\n1\n");
    kik_file(out / "elsewhere", "Must No\n1\n2\n");
    EXPECT_EQ(run({{"kik_data_ham_csv", out / "elsewhere"}})[0], "  brz_kik_izleme: 2 rows");
    EXPECT_EQ(run({{"kik_data_ham_csv", out / "nowhere"}})[0], "  [SKIP] kik_data_ham_csv not found");
}

TEST_F(RunIngestTest, NothingOfAnEarlierWarehouseSurvives) {
    {
        vandel::Vandel old(db.string());
        old.execute("CREATE TABLE fact_periodic (x INTEGER); INSERT INTO fact_periodic VALUES (1)");
    }
    std::vector<std::string> want = kSkipLines;
    want.insert(want.end(), {"", "  Bronze tables: 10"});
    EXPECT_EQ(run(), want);
}

TEST_F(RunIngestTest, WarehouseFileAndItsLogAreRemovedTogether) {
    testing::write_bytes(db, "old");
    testing::write_bytes(db.string() + ".wal", "old log");
    testing::write_bytes(db.string() + ".other", "kept");
    _remove_warehouse(db);
    EXPECT_FALSE(fs::exists(db));
    EXPECT_FALSE(fs::exists(db.string() + ".wal"));
    EXPECT_TRUE(fs::exists(db.string() + ".other"));
    // A log without its file goes too; nothing present is fine.
    testing::write_bytes(db.string() + ".wal", "old log");
    _remove_warehouse(db);
    EXPECT_FALSE(fs::exists(db.string() + ".wal"));
    EXPECT_NO_THROW(_remove_warehouse(db));
}

// An interrupted run leaves its write-ahead log beside the file; the next run must not replay it.
TEST_F(RunIngestTest, StaleWriteAheadLogDoesNotLeakRows) {
    {
        vandel::Vandel old(db.string());
        old.execute("CREATE TABLE fact_periodic (x INTEGER)");
        old.execute("CHECKPOINT");
        // Keep everything that follows in the log only, as a run killed before its checkpoint does.
        old.execute("PRAGMA disable_checkpoint_on_shutdown");
        old.execute("SET checkpoint_threshold = '1GB'");
        old.execute("CREATE TABLE brz_kik_izleme (muta VARCHAR)");
        old.execute("INSERT INTO brz_kik_izleme VALUES ('999'), ('998')");
        old.execute("INSERT INTO fact_periodic VALUES (1)");
    }
    ASSERT_TRUE(fs::exists(db.string() + ".wal")) << "the setup left no log";

    std::vector<std::string> want = kSkipLines;
    want.insert(want.end(), {"", "  Bronze tables: 10"});
    EXPECT_EQ(run(), want);
    EXPECT_TRUE(rows("SELECT * FROM brz_kik_izleme").empty());
    EXPECT_EQ(rows("SELECT COUNT(*) FROM information_schema.tables WHERE table_name = 'fact_periodic'"),
              std::vector<std::string>{"0"});
}

// A failing source ends the run; the warehouse of the previous run is left exactly as it was and
// the new one, built beside it, is removed.
TEST_F(RunIngestTest, UnreadableFileEndsTheRunAndKeepsThePreviousWarehouse) {
    const fs::path kik = src / "kik_data_ham_csv";
    kik_file(kik, "Must No\n7\n");
    run();
    const std::string previous = core::read_file(db);
    testing::write_cp1254(kik / "Kurumsal_A_20250302.csv", "Must No\n1\n");
    testing::write_bytes(kik / "Kurumsal_B_20250302.csv", "Must No;Must Ad\n1;a;b\n");
    core::ConsoleCapture capture;
    try {
        run_ingest(src.path(), db);
        ADD_FAILURE() << "the run went on";
    } catch (const core::Error& e) {
        EXPECT_NE(std::string(e.what()).find("Kurumsal_B_20250302.csv"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(capture.out_lines().empty());
    EXPECT_TRUE(core::read_file(db) == previous);
    EXPECT_EQ(rows("SELECT muta FROM brz_kik_izleme"), std::vector<std::string>{"'7'"});
    EXPECT_EQ(core::sorted_glob(out.path(), "*"), std::vector<fs::path>{db});
}

// Only a missing file, an empty one or a warehouse is replaced, unless forced; nothing is touched
// when the source directory is missing.
TEST_F(RunIngestTest, ReplacesOnlyAWarehouse) {
    testing::write_bytes(db, "not a warehouse");
    EXPECT_THROW(run(), core::FileExistsError);
    EXPECT_EQ(core::read_file(db), "not a warehouse");
    EXPECT_THROW(run_ingest(out / "missing", db, {}, std::nullopt, /*force=*/true), core::FileNotFoundError);
    EXPECT_THROW(run_ingest(db, out / "w2.duckdb"), core::NotADirectoryError);
    EXPECT_EQ(core::read_file(db), "not a warehouse");
    {
        core::ConsoleCapture capture;
        run_ingest(src.path(), db, {}, std::nullopt, /*force=*/true);
    }
    EXPECT_TRUE(is_warehouse_file(db));
    testing::write_bytes(db, "");
    EXPECT_NO_THROW(run());
    EXPECT_THROW(run_ingest(src.path(), out.path()), core::IsADirectoryError);
    EXPECT_THROW(run_ingest(src.path(), out / "no" / "w.duckdb"), core::FileNotFoundError);
}

// A build killed earlier left its new warehouse and log behind: the next run removes them, and
// leaves those of a process still running and files of other names alone.
TEST_F(RunIngestTest, LeftoversOfKilledBuildsAreRemoved) {
    const pid_t dead = ::fork();
    if (dead == 0) ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    const std::string stale = db.string() + ".tmp" + std::to_string(dead);
    const std::string live = db.string() + ".tmp1";  // init never ends
    for (const std::string& f : {stale, stale + ".wal", live, out.path().string() + "/x.duckdb.tmp" + std::to_string(dead)})
        testing::write_bytes(f, "left");
    run();
    EXPECT_EQ(core::sorted_glob(out.path(), "*"),
              (std::vector<fs::path>{db, live, out.path().string() + "/x.duckdb.tmp" + std::to_string(dead)}));
}

TEST(MutaFilterFile, OneMutaPerLine) {
    TempDir dir{"tarvo-filter"};
    core::ConsoleCapture capture;
    testing::write_bytes(dir / "f.txt", "123\r\n  45 \n\n\t\n123\n-7\n00123\n45.0");
    EXPECT_EQ(read_muta_filter_file(dir / "f.txt"), (std::unordered_set<std::string>{"123", "45", "-7"}));
    EXPECT_TRUE(capture.out_lines().empty());
    testing::write_bytes(dir / "g.txt", "1\n\nnan\n" + std::string(60, 'x') + "\nabc\n2");
    EXPECT_EQ(read_muta_filter_file(dir / "g.txt"), (std::unordered_set<std::string>{"1", "2"}));
    EXPECT_EQ(capture.out_lines(),
              std::vector<std::string>{"  [WARN] muta filter: 3 lines ignored, not customer numbers (first: line 3 "
                                       "\"nan\")"});
    testing::write_bytes(dir / "e.txt", "");
    EXPECT_EQ(read_muta_filter_file(dir / "e.txt"), std::unordered_set<std::string>{});
    EXPECT_THROW(read_muta_filter_file(dir / "missing.txt"), core::FileNotFoundError);
}

}  // namespace
}  // namespace tarvo::ingest
