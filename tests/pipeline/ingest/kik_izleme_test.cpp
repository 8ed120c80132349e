#include <gtest/gtest.h>

#include <string>
#include <unordered_set>
#include <vector>

#include "pipeline/ingest/bronze_fixture.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/pipeline/ingest/sources.hpp"

namespace tarvo::testing {
namespace {

std::string repeated(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

constexpr const char* kRows = "SELECT * FROM brz_kik_izleme";
constexpr const char* kTotal0 = "  brz_kik_izleme: 0 rows";

class KikIzlemeTest : public BronzeTest {
protected:
    std::vector<std::string> ingest(const ingest::MutaFilter& filter = std::nullopt) {
        return lines_of([&] { ingest::_ingest_kik_izleme(con, dir.path(), filter); });
    }
    void write(const std::string& name, const std::string& utf8) { write_cp1254(dir / name, utf8); }
};

TEST_F(KikIzlemeTest, MissingDirectoryIsSkipped) {
    auto lines = lines_of([&] { ingest::_ingest_kik_izleme(con, dir / "absent", std::nullopt); });
    EXPECT_EQ(lines, std::vector<std::string>{"  [SKIP] kik_data_ham_csv not found"});
    EXPECT_TRUE(rows(kRows).empty());
}

TEST_F(KikIzlemeTest, FileSelectionByNameAndPeriod) {
    const std::string body = "Must No\n1\n";
    write("Kurumsal_20250302.csv", body);          // loaded, period 2503
    write("x_Kurumsal_x_20241102_y.csv", body);    // loaded, period 2411
    write("kurumsal_20250302.csv", body);          // "Kurumsal" is case-sensitive
    write("Ticari_20250302.csv", body);            // no "Kurumsal"
    write("Kurumsal_20250301.csv", body);          // no date of the form 20dddd02
    write("Kurumsal_20250302.CSV", body);          // "*.csv" is case-sensitive
    write("Kurumsal_2025 0302.csv", body);         // no four digits in a row
    write_bytes(dir / "Kurumsal_20250402.csv.bak", "junk");
    EXPECT_EQ(ingest(), std::vector<std::string>{"  brz_kik_izleme: 2 rows"});
    EXPECT_EQ(rows("SELECT muta, donem FROM brz_kik_izleme ORDER BY donem"),
              (std::vector<std::string>{"'1' | '2411'", "'1' | '2503'"}));
}

TEST_F(KikIzlemeTest, FullRowWithEveryColumn) {
    write("Kurumsal_20240302.csv",
          "Must No;Must Ad;UNVAN;Ykn Izl Flag;Rtng Kod;Rating Tar;Risk Bky Tl;Gckm Gun Say;Erkn Izlm Kod;"
          "CISS_A;cıss_b;Sube\n"
          "00123; Öztürk A.Ş. ;yok;E ; 7B ;2024-01-31;1.234.567,89;12;  K1 ;0;;İstanbul\n"
          " 45 ;NaT;Other;nan;None;;1.234,50;abc;NaN;0;3;x\n"
          "xx;Ghost;;;;;;;;;;\n"
          "46;;;;;;1234.56;12.9;;1,5;;\n");
    EXPECT_EQ(ingest(), std::vector<std::string>{"  brz_kik_izleme: 3 rows"});
    EXPECT_EQ(rows(kRows), (std::vector<std::string>{
                               "'123' | '2403' | 'E' | '7B' | '2024-01-31' | 1234568 | 'Öztürk A.Ş.' | 12 | 'K1' | 0",
                               "'45' | '2403' | NULL | NULL | NULL | 1234 | NULL | 0 | NULL | 1",
                               "'46' | '2403' | NULL | NULL | NULL | 123456 | NULL | 12 | NULL | 0",
                           }));
}

TEST_F(KikIzlemeTest, FirmNameHeaderPreference) {
    struct Case {
        std::string header, row;  // after "Must No"
        std::string want;
    };
    const std::vector<Case> cases{
        {"UNVAN;Cari Hesap Adi;Cari Hesap Adı", "u;plain;dotless", "'dotless'"},
        {"Unvan;UNVAN;Cari Hesap Adi", "lower;upper;plain", "'plain'"},
        {"Unvan;UNVAN", "lower;upper", "'upper'"},
        {"Other;Unvan", "o;lower", "'lower'"},
        {"UNVAN;Must Ad", "upper;must", "'must'"},
        {"Other", "o", "NULL"},
    };
    for (const Case& c : cases) {
        con.execute("DELETE FROM brz_kik_izleme");
        write("Kurumsal_20240302.csv", "Must No;" + c.header + "\n1;" + c.row + "\n");
        ingest();
        EXPECT_EQ(rows("SELECT unvan FROM brz_kik_izleme"), std::vector<std::string>{c.want}) << c.header;
    }
}

// A comma-separated file without any ';' reads with ';' as one column named by the whole
// header line: it has no "Must No" and is passed over.
TEST_F(KikIzlemeTest, CommaFileWithoutSemicolonsIsPassedOver) {
    write("Kurumsal_20240302.csv", "Must No,Must Ad\n7,a\n");
    EXPECT_EQ(ingest(), std::vector<std::string>{kTotal0});
}

TEST_F(KikIzlemeTest, ShortRowsArePaddedWithNulls) {
    write("Kurumsal_20240302.csv", "Must No;Must Ad;CISS\n1\n2;b\n3;c;4\n");
    EXPECT_EQ(ingest(), std::vector<std::string>{"  brz_kik_izleme: 3 rows"});
    EXPECT_EQ(rows("SELECT muta, unvan, ciss_flag FROM brz_kik_izleme"),
              (std::vector<std::string>{"'1' | NULL | 0", "'2' | 'b' | 0", "'3' | 'c' | 1"}));
}

// A list of many parts of a read (a few thousand rows each) loads every row kept once, in file
// order, with or without a muta filter; 250,000 rows pass the size at which the warehouse's
// appender writes out what it holds. Rows: muta i, or "x" (no muta) when i is a multiple of 3;
// CISS set when i is a multiple of 5.
TEST_F(KikIzlemeTest, LongListsLoadEveryRowOnceInOrder) {
    std::string body = "Must No;Must Ad;CISS\n";
    for (int i = 1; i <= 250000; ++i)
        body += (i % 3 ? std::to_string(i) : "x") + ";Firma " + std::to_string(i) + (i % 5 ? ";0\n" : ";1\n");
    write("Kurumsal_20240302.csv", body);
    std::unordered_set<std::string> even;
    for (int i = 2; i <= 250000; i += 2) even.insert(std::to_string(i));
    struct Case {
        ingest::MutaFilter filter;
        std::string count_line, summary;  // summary: rows, distinct, first, last, CISS set, names right, out of order
    };
    const std::vector<Case> cases{
        {std::nullopt, "  brz_kik_izleme: 166667 rows", "166667 | 166667 | 1 | 250000 | 33334 | True | 0"},
        {even, "  brz_kik_izleme: 83334 rows", "83334 | 83334 | 2 | 250000 | 16667 | True | 0"},
    };
    for (const Case& c : cases) {
        con.execute("DELETE FROM brz_kik_izleme");
        EXPECT_EQ(ingest(c.filter), std::vector<std::string>{c.count_line});
        EXPECT_EQ(rows("SELECT COUNT(*), COUNT(DISTINCT muta), MIN(m), MAX(m), SUM(ciss_flag)::BIGINT, "
                       "bool_and(unvan = 'Firma ' || muta), COUNT(*) FILTER (WHERE m <= prev) FROM "
                       "(SELECT *, muta::BIGINT AS m, lag(muta::BIGINT) OVER (ORDER BY rowid) AS prev FROM brz_kik_izleme)"),
                  std::vector<std::string>{c.summary});
    }
}

// A comma-separated list whose ';' read fails only deep in the file (a name holding ';') is read
// again with ','; nothing of the failed read is kept.
TEST_F(KikIzlemeTest, ReadAgainAfterALateFailureKeepsEachRowOnce) {
    std::string body = "Must No,Must Ad\n";
    for (int i = 1; i <= 20000; ++i) body += std::to_string(i) + (i == 19000 ? ",a;b;c\n" : ",Firma\n");
    write("Kurumsal_20240302.csv", body);
    EXPECT_EQ(ingest(), std::vector<std::string>{"  brz_kik_izleme: 20000 rows"});
    EXPECT_EQ(rows("SELECT COUNT(DISTINCT muta), COUNT(*) FILTER (WHERE unvan = 'a;b;c') FROM brz_kik_izleme"),
              std::vector<std::string>{"20000 | 1"});
}

// Files that neither read succeeds on end the ingest with an error naming the file; rows
// of files loaded before stay.
TEST_F(KikIzlemeTest, UnreadableFilesEndTheIngest) {
    struct Case {
        std::string bytes;
        std::string reason;
    };
    const std::vector<Case> cases{
        {to_cp1254("Must No;Must Ad\n1;a\n2;b;c\n"), "line 3 has more fields than the header (2)"},
        {to_cp1254("Must No;Must Ad\n" + repeated("1;a\n", 30000) + "2;b;c\n"),
         "line 30002 has more fields than the header (2)"},
        {"Must No;Must Ad\n1;\x8E\n", "can't decode byte 0x8e in position 18"},
        {"", "no columns to parse"},
    };
    for (const Case& c : cases) {
        con.execute("DELETE FROM brz_kik_izleme");
        write("Kurumsal_A_20240302.csv", "Must No\n5\n");
        write_bytes(dir / "Kurumsal_B_20240302.csv", c.bytes);
        core::ConsoleCapture capture;
        try {
            ingest::_ingest_kik_izleme(con, dir.path(), std::nullopt);
            ADD_FAILURE() << "no error for " << c.reason;
        } catch (const core::Error& e) {
            EXPECT_NE(std::string(e.what()).find((dir / "Kurumsal_B_20240302.csv").string()), std::string::npos)
                << e.what();
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
        EXPECT_TRUE(capture.out_lines().empty());
        EXPECT_EQ(rows("SELECT muta FROM brz_kik_izleme"), std::vector<std::string>{"'5'"});
    }
}

}  // namespace
}  // namespace tarvo::testing
