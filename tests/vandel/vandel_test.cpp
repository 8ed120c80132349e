#include "tarvo/vandel/vandel.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/thrown.hpp"
#include "tarvo/core/errors.hpp"

namespace {

using tarvo::core::ErrorKind;
using tarvo::core::Kind;
using tarvo::core::Table;
using tarvo::core::Value;
using tarvo::vandel::Access;
using tarvo::vandel::Vandel;
using tarvo::testing::kind_thrown_by;
using tarvo::vandel::WarehouseError;

TEST(Vandel, FetchesWholeResultsWithColumnKinds) {
    Vandel con(":memory:");
    Table t = con.query(
        "SELECT 1::INTEGER AS i, 2.5::DOUBLE AS d, 'x' AS s, TRUE AS b, NULL::VARCHAR AS n, "
        "DATE '2024-01-31' AS dt, TIMESTAMP '2024-01-01 00:00:00' AS ts, 12.50::DECIMAL(6,2) AS dec");
    ASSERT_EQ(t.nrows(), 1u);
    EXPECT_EQ(t["i"].kind(), Kind::i64);
    EXPECT_EQ(t.at(0, "i"), Value(int64_t{1}));
    EXPECT_EQ(t.at(0, "d"), Value(2.5));
    EXPECT_EQ(t.at(0, "s"), Value("x"));
    EXPECT_EQ(t.at(0, "b"), Value(true));
    EXPECT_TRUE(t.at(0, "n").is_null());
    EXPECT_EQ(t.at(0, "dt"), Value("2024-01-31"));
    EXPECT_EQ(t.at(0, "ts"), Value("2024-01-01 00:00:00"));
    EXPECT_EQ(t.at(0, "dec"), Value(12.5));
}

TEST(Vandel, OtherTypesComeBackAsText) {
    Vandel con(":memory:");
    Table t = con.query("SELECT [1, 2] AS l, INTERVAL 1 DAY AS iv");
    EXPECT_EQ(t.at(0, "l"), Value("[1, 2]"));
    EXPECT_EQ(t.at(0, "iv"), Value("1 day"));
}

TEST(Vandel, BindsOneListParameter) {
    Vandel con(":memory:");
    con.execute("CREATE TABLE f(entity_id VARCHAR, v INT); INSERT INTO f VALUES ('1', 10), ('2', 20), ('3', 30)");
    Table t = con.query("SELECT v FROM f WHERE entity_id = ANY($1) ORDER BY v",
                        {Value("1"), Value("3")});
    ASSERT_EQ(t.nrows(), 2u);
    EXPECT_EQ(t.at(1, "v"), Value(int64_t{30}));
    EXPECT_EQ(con.query("SELECT v FROM f WHERE entity_id = ANY($1)", {}).nrows(), 0u);
}

TEST(Vandel, BatchedParameterRowsAndOutTable) {
    Vandel con(":memory:");
    con.execute("CREATE TABLE t(a VARCHAR, b BIGINT, c DOUBLE)");
    con.executemany("INSERT INTO t VALUES (?, ?, ?)", {{Value("x"), Value(int64_t{1}), Value(0.5)},
                                                      {Value(), Value(), Value()}});
    Table out;
    out.set("a", tarvo::core::Column::of_str({"y", std::nullopt}));
    out.set("b", tarvo::core::Column::of_i64({7, 8}));
    out.set("c", tarvo::core::Column::of_f64({1.5, std::nullopt}));
    con.run_with_out(out, "INSERT INTO t SELECT * FROM out");
    EXPECT_EQ(con.query("SELECT COUNT(*) AS n FROM t").at(0, "n"), Value(int64_t{4}));
    // "out" lives for its one statement only.
    EXPECT_EQ(con.query("SHOW TABLES").nrows(), 1u);
}

// "out" filled a part at a time holds the parts in order, as one whole table would; it is gone
// after its statement, and when its statement is never reached.
TEST(Vandel, OutTableFilledInParts) {
    Vandel con(":memory:");
    con.execute("CREATE TABLE t(a VARCHAR, b BIGINT)");
    auto part = [](std::vector<std::optional<std::string>> a, std::vector<std::optional<int64_t>> b) {
        Table p;
        p.set("a", tarvo::core::Column::of_str(std::move(a)));
        p.set("b", tarvo::core::Column::of_i64(std::move(b)));
        return p;
    };
    {
        tarvo::vandel::OutTable out(con, part({}, {}));
        out.append(part({"x", std::nullopt}, {1, 2}));
        out.append(part({}, {}));
        out.append(part({"z"}, {std::nullopt}));
        EXPECT_EQ(out.rows(), 3);
        out.run("INSERT INTO t SELECT * FROM out");
    }
    EXPECT_EQ(con.fetchall("SELECT string_agg(coalesce(a, '-') || ':' || coalesce(b::VARCHAR, '-'), ' ' ORDER BY rowid) FROM t"),
              (std::vector<tarvo::vandel::Row>{{Value("x:1 -:2 z:-")}}));
    {
        tarvo::vandel::OutTable out(con, part({}, {}));
        out.append(part({"y"}, {3}));
        Table other_kinds;
        other_kinds.set("a", tarvo::core::Column::of_str({"w"}));
        other_kinds.set("b", tarvo::core::Column::of_f64({1.5}));
        EXPECT_EQ(kind_thrown_by([&] { out.append(other_kinds); }), ErrorKind::ValueError);
    }
    EXPECT_EQ(con.query("SHOW TABLES").nrows(), 1u);
    EXPECT_EQ(con.fetchall("SELECT COUNT(*) FROM t"), (std::vector<tarvo::vandel::Row>{{Value(int64_t{3})}}));
}

// The kind comes from the warehouse's error class on every path a statement takes: run whole,
// run with a list parameter, streamed.
TEST(Vandel, MapsErrorKinds) {
    Vandel con(":memory:");
    auto nothing = [](const Table&) {};
    constexpr const char* kLateFailure =
        "SELECT CASE WHEN range < 150000 THEN range ELSE error('late') END AS v FROM range(200000)";
    struct Case {
        const char* name;
        std::function<void()> step;
        ErrorKind kind;
    };
    const std::vector<Case> cases{
        {"missing table", [&] { con.query("SELECT * FROM missing_table"); }, ErrorKind::CatalogException},
        {"bad syntax", [&] { con.query("SELEC 1"); }, ErrorKind::ParserException},
        {"missing table, list parameter",
         [&] { con.query("SELECT * FROM missing_table WHERE x = ANY($1)", {Value("1")}); },
         ErrorKind::CatalogException},
        {"unknown column, streamed", [&] { con.for_each_chunk("SELECT nope FROM range(3)", nothing); },
         ErrorKind::BinderException},
        {"bad cast, executed", [&] { con.execute("SELECT CAST('x' AS INTEGER)"); }, ErrorKind::ConversionException},
        // A streamed result that fails after its first chunks is an error, not a short result.
        {"fails part-way, fetched whole", [&] { con.query(kLateFailure); }, ErrorKind::InvalidInputException},
        {"fails part-way, streamed", [&] { con.for_each_chunk(kLateFailure, nothing); },
         ErrorKind::InvalidInputException},
        {"closed connection",
         [] {
             Vandel closed(":memory:");
             closed.close();
             closed.execute("SELECT 1");
         },
         ErrorKind::ConnectionException},
    };
    for (const Case& c : cases) EXPECT_EQ(kind_thrown_by(c.step), c.kind) << c.name;
}

// Preparing a statement, starting its run and opening a file report their failure as text only:
// the kind is read from the message's prefix.
TEST(Vandel, KindFromMessagePrefix) {
    const std::vector<std::pair<std::string, std::optional<ErrorKind>>> cases{
        {"Catalog Error: Table with name x does not exist!", ErrorKind::CatalogException},
        {"Parser Error: syntax error at or near \"SELEC\"", ErrorKind::ParserException},
        {"Invalid Input Error: CSV Error on Line: 3", ErrorKind::InvalidInputException},
        {"IO Error: Cannot open file", ErrorKind::IOException},
        {"Out of Range Error: Overflow", ErrorKind::OutOfRangeException},
        {"Not implemented Error: LIST", ErrorKind::NotImplementedException},
        {"Mismatch Type Error: Type INTEGER does not match", ErrorKind::TypeMismatchException},
        {"TransactionContext Error: Current transaction is aborted", ErrorKind::TransactionException},
        {"INTERNAL Error: assertion", ErrorKind::InternalException},
        {"cannot prepare statement", std::nullopt},
        {"Error: no class named", std::nullopt},
        {"Unheard Of Error: a class the warehouse does not have", std::nullopt},
        {"a long text that mentions, well after its start, a Catalog Error: x", std::nullopt},
    };
    for (const auto& [message, kind] : cases) EXPECT_EQ(tarvo::vandel::error_kind_from_message(message), kind) << message;
}

TEST(Vandel, ReadOnlyOpenRejectsWrites) {
    auto dir = std::filesystem::temp_directory_path() / "tarvo_vandel_ro";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::string path = (dir / "w.duckdb").string();
    {
        Vandel rw(path);
        rw.execute("CREATE TABLE x(a INT)");
    }
    Vandel ro(path, Access::read_only);
    EXPECT_EQ(ro.column_names("x"), std::vector<std::string>{"a"});
    EXPECT_THROW(ro.execute("INSERT INTO x VALUES (1)"), WarehouseError);
    ro.close();
    std::filesystem::remove_all(dir);
}

}  // namespace
