// Every statement runs once, every handle is released on every path, a transaction guard rolls
// back what a failed statement leaves, and warehouse errors carry no data.
#include <gtest/gtest.h>

#include <stdexcept>

#include "support/source_files.hpp"
#include "support/thrown.hpp"
#include "tarvo/vandel/error_text.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::vandel {
namespace {

using core::Table;
using core::Value;
using testing::kind_thrown_by;

int64_t count(Vandel& con, const std::string& sql) { return con.query(sql).column(0).int_at(0); }

// Each statement runs once: an insert with RETURNING inserts one row and a sequence advances
// once, also when the result holds types read as text; a statement whose result cannot be read
// is refused before it runs.
TEST(VandelOnce, EachStatementRunsOnce) {
    struct Case {
        const char* name;
        const char* sql;
        const char* first_cell;  // nullptr: refused, nothing run
    };
    const std::vector<Case> cases{
        {"typed RETURNING", "INSERT INTO t VALUES (nextval('s'), [1, 2], INTERVAL 1 DAY) RETURNING id", "1"},
        {"RETURNING a list and an interval",
         "INSERT INTO t VALUES (nextval('s'), [1, 2], INTERVAL 1 DAY) RETURNING *", nullptr},
        {"query with a side effect and a list", "SELECT nextval('s') AS id, [1, 2] AS l", "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Vandel con(":memory:");
        con.execute("CREATE SEQUENCE s; CREATE TABLE t(id BIGINT, l INTEGER[], iv INTERVAL)");
        if (c.first_cell) {
            Table result = con.query(c.sql);
            ASSERT_EQ(result.nrows(), 1u);
            EXPECT_EQ(result.column(0).text_form(0), c.first_cell);
            EXPECT_EQ(count(con, "SELECT nextval('s')"), 2) << "the statement ran more than once";
        } else {
            EXPECT_EQ(kind_thrown_by([&] { con.query(c.sql); }), core::ErrorKind::NotImplementedException);
            EXPECT_EQ(count(con, "SELECT nextval('s')"), 1) << "the statement ran";
        }
        EXPECT_EQ(count(con, "SELECT COUNT(*) FROM t"), c.first_cell && c.sql[0] == 'I' ? 1 : 0);
    }
    Vandel con(":memory:");
    con.execute("CREATE SEQUENCE s");
    con.for_each_chunk("SELECT nextval('s') AS id FROM range(3) WHERE range < len($1)", {Value("a")},
                       [](const Table&) {});
    EXPECT_EQ(count(con, "SELECT nextval('s')"), 2);
}

// A callback that throws while a chunk is open leaves the connection usable (and, under the
// sanitizers, nothing leaked).
TEST(VandelOnce, ThrowingChunkCallbackReleasesItsChunk) {
    Vandel con(":memory:");
    EXPECT_THROW(con.for_each_chunk("SELECT range AS i FROM range(5000) WHERE range >= len($1)", {Value("x")},
                                    [](const Table&) { throw std::runtime_error("stop"); }),
                 std::runtime_error);
    EXPECT_THROW(con.for_each_row("SELECT [range] AS l FROM range(3)",
                                  [](std::vector<core::Document>&) { throw std::runtime_error("stop"); }),
                 std::runtime_error);
    EXPECT_EQ(count(con, "SELECT 41 + 1"), 42);
}

TEST(VandelTransaction, RollsBackWhenAStatementFails) {
    Vandel con(":memory:");
    con.execute("CREATE TABLE t(a INTEGER); INSERT INTO t VALUES (1)");
    EXPECT_EQ(kind_thrown_by([&] {
                  Transaction tx(con);
                  con.execute("INSERT INTO t VALUES (2)");
                  con.execute("INSERT INTO missing VALUES (3)");
                  tx.commit();
              }),
              core::ErrorKind::CatalogException);
    // Usable again (no "transaction is aborted"), and the first insert is gone.
    EXPECT_EQ(count(con, "SELECT COUNT(*) FROM t"), 1);
    {
        Transaction tx(con);
        con.execute("INSERT INTO t VALUES (4)");
        tx.commit();
    }
    EXPECT_EQ(count(con, "SELECT COUNT(*) FROM t"), 2);
}

// Values and source lines quoted by the warehouse never reach the message.
TEST(VandelErrors, MessagesCarryNoData) {
    testing::TempDir dir("tarvo-vandel");
    testing::write_bytes(dir / "x.csv", "a;b\n1;2\n3;GIZLI FIRMA;987654321\n");
    struct Case {
        std::string sql;
        testing::Thrown error;
    };
    const std::vector<Case> cases{
        {"SELECT CAST('GIZLI FIRMA' AS INTEGER)",
         {core::ErrorKind::ConversionException, "Conversion Error: Could not convert string '\u2026' to INT32"}},
        {"SELECT * FROM read_csv('" + (dir / "x.csv").string() +
             "', delim=';', header=true, auto_detect=false, strict_mode=true, columns={'a': 'VARCHAR', 'b': 'VARCHAR'})",
         {core::ErrorKind::InvalidInputException,
          "Invalid Input Error: CSV Error on Line: 3; Expected Number of Columns: 2 Found: 3"}},
    };
    Vandel con(":memory:");
    for (const Case& c : cases) EXPECT_EQ(testing::thrown_by([&] { con.query(c.sql); }), c.error) << c.sql;
}

// A failed append reports the warehouse's class of the error, although its message starts with
// no class name, and the table receives nothing.
TEST(VandelErrors, AnAppendFailureKeepsItsClass) {
    Vandel con(":memory:");
    con.execute("CREATE TABLE t(s VARCHAR)");
    Table out;
    out.set("s", core::Column::of_str({std::string("ab\xff\xfe")}));
    EXPECT_EQ(testing::thrown_by([&] { con.run_with_out(out, "INSERT INTO t SELECT * FROM out"); }),
              (testing::Thrown{core::ErrorKind::InvalidInputException,
                               "Failed to append: Invalid unicode (byte sequence mismatch) detected in segment "
                               "statistics update"}));
    EXPECT_EQ(count(con, "SELECT COUNT(*) FROM t"), 0);
}

TEST(DataFreeMessage, FirstLineWithoutLiterals) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"Binder Error: Referenced column \"katman\" not found in FROM clause!\nCandidate bindings: \"x\"\n\nLINE 1: ...",
         "Binder Error: Referenced column \"katman\" not found in FROM clause!"},
        {"Conversion Error: Could not convert string 'A' to INT64 when casting 'b'",
         "Conversion Error: Could not convert string '\u2026' to INT64 when casting '\u2026'"},
        {"Parser Error: can't parse it", "Parser Error: can't parse it"},
        {"Invalid Input Error: CSV Error on Line: 2\nOriginal Line: 1;ACME;5\nExpected Number of Columns: 2 Found: 3\n"
         "Possible fixes:\n  file = 'x.csv'",
         "Invalid Input Error: CSV Error on Line: 2; Expected Number of Columns: 2 Found: 3"},
    };
    for (const auto& [message, want] : cases) EXPECT_EQ(data_free_message(message), want);
}

}  // namespace
}  // namespace tarvo::vandel
