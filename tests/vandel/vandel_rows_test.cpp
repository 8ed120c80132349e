// Row-by-row results with LIST cells, number chunks, and the per-connection memo.
#include <gtest/gtest.h>

#include <any>
#include <string>
#include <vector>

#include "support/thrown.hpp"
#include "tarvo/core/json.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace {

using tarvo::core::Document;
using tarvo::vandel::Vandel;
using tarvo::core::ErrorKind;
using tarvo::testing::kind_thrown_by;

std::string compact(const std::vector<Document>& row) {
    return tarvo::core::to_json(Document(tarvo::core::List(row.begin(), row.end())),
                                tarvo::core::JsonStyle::compact);
}

TEST(VandelRows, ListCellsScalarsAndNulls) {
    Vandel con(":memory:");
    std::vector<std::string> rows;
    int64_t n = con.for_each_row(
        "SELECT * FROM (VALUES (1, ['b', NULL, 'a'], 2.5), (2, NULL, NULL), (3, [], 1.0)) t(k, l, d) "
        "UNION ALL SELECT 4, ['x'], NULL UNION ALL SELECT 5, NULL, 0.5 ORDER BY k",
        [&](std::vector<Document>& row) { rows.push_back(compact(row)); });
    EXPECT_EQ(n, 5);
    EXPECT_EQ(rows, (std::vector<std::string>{R"([1,["b",null,"a"],2.5])", "[2,null,null]", "[3,[],1.0]",
                                              R"([4,["x"],null])", "[5,null,0.5]"}));

    rows.clear();
    con.for_each_row("SELECT [1, 2]::BIGINT[] AS a, [1.5]::DECIMAL(4,2)[] AS b",
                     [&](std::vector<Document>& row) { rows.push_back(compact(row)); });
    EXPECT_EQ(rows, (std::vector<std::string>{"[[1,2],[1.5]]"}));
}

TEST(VandelRows, ListsStayAlignedAcrossChunks) {
    // 5,000 rows span several result chunks; every list must match its own row.
    Vandel con(":memory:");
    int64_t bad = 0, seen = 0;
    int64_t n = con.for_each_row(
        "SELECT i, [i, i + 1] AS l FROM range(5000) t(i) ORDER BY i", [&](std::vector<Document>& row) {
            const int64_t i = row[0].as_int();
            const auto& l = row[1].as_list();
            if (i != seen || l.size() != 2 || l[0].as_int() != i || l[1].as_int() != i + 1) ++bad;
            ++seen;
        });
    EXPECT_EQ(n, 5000);
    EXPECT_EQ(bad, 0);
}

// A number chunk holds each cell as query() reads it, whatever the column's number type, with
// nulls marked; the list parameter and results of several chunks read the same way.
TEST(VandelNumberChunks, EveryNumberTypeReadsAsQueryReadsIt) {
    Vandel con(":memory:");
    const std::string sql =
        "SELECT * FROM (VALUES (true, 7::TINYINT, -3::INTEGER, 9007199254740993::BIGINT, 250::UTINYINT, "
        "1.25::FLOAT, -0.1::DOUBLE, 12.345::DECIMAL(9,3), 170141183460469231731687303715884105727::HUGEINT), "
        "(NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL))";
    const tarvo::core::Table expected = con.query(sql);
    size_t chunks = 0;
    con.for_each_number_chunk(sql, [&](const tarvo::vandel::NumberChunk& chunk) {
        ++chunks;
        ASSERT_EQ(chunk.rows(), 2u);
        ASSERT_EQ(chunk.columns(), expected.ncols());
        for (size_t c = 0; c < chunk.columns(); ++c) {
            const tarvo::core::Column& column = expected.column(c);
            EXPECT_FALSE(chunk.is_null(c, 0)) << c;
            EXPECT_EQ(chunk.at(c, 0), column.is_bool_cell(0) ? (column.bool_at(0) ? 1.0 : 0.0) : *column.number_at(0))
                << c;
            EXPECT_TRUE(chunk.is_null(c, 1)) << c;
        }
    });
    EXPECT_EQ(chunks, 1u);

    int64_t sum = 0, rows = 0;
    con.for_each_number_chunk("SELECT i FROM range(10000) t(i) WHERE list_contains($1, i % 7)",
                              {tarvo::core::Value(int64_t{0}), tarvo::core::Value(int64_t{3})},
                              [&](const tarvo::vandel::NumberChunk& chunk) {
                                  for (size_t i = 0; i < chunk.rows(); ++i) sum += static_cast<int64_t>(chunk.at(0, i));
                                  rows += static_cast<int64_t>(chunk.rows());
                              });
    EXPECT_EQ(rows, 2858);
    EXPECT_EQ(static_cast<double>(sum),
              *con.query("SELECT SUM(i) FROM range(10000) t(i) WHERE i % 7 IN (0, 3)").column(0).number_at(0));
}

TEST(VandelNumberChunks, AColumnOfAnotherTypeIsRefused) {
    Vandel con(":memory:");
    bool called = false;
    EXPECT_EQ(kind_thrown_by([&] {
                  con.for_each_number_chunk("SELECT 1 AS n, 'a' AS t",
                                            [&](const tarvo::vandel::NumberChunk&) { called = true; });
              }),
              ErrorKind::NotImplementedException);
    EXPECT_FALSE(called);
}

// A cell chunk gives each cell as the chunk's table would hold it: the same value of the same
// kind and the same text form, nulls included (whose text form depends on the column's type), over
// every type the reader knows, short and long texts and several chunks; and with a column of a
// type it does not read, every column as text.
TEST(VandelCellChunks, EveryCellReadsAsTheChunksTableHoldsIt) {
    Vandel con(":memory:");
    const std::string columns =
        "SELECT i, i % 3 = 0 AS b, (i % 100)::TINYINT AS t, i * 1000003 AS big, (i / 7)::FLOAT AS f, "
        "i / 3 AS d, (i / 8)::DECIMAL(9,3) AS dec, 'k' || i AS short_text, "
        "repeat('uzun şirket adı ', i % 4) AS long_text, "
        "DATE '2024-01-31' + (i % 40)::INTEGER AS day, TIMESTAMP '2024-01-31 10:00:00' AS ts";
    const std::string rows =
        " FROM (SELECT CASE WHEN i % 11 = 0 THEN NULL ELSE i END AS i FROM range(5000) r(i)) ORDER BY i NULLS FIRST";
    const auto describe = [](const tarvo::core::Value& v) {
        const char* kind = v.is_null()     ? "null"
                           : v.is_bool()   ? "bool"
                           : v.is_int()    ? "int"
                           : v.is_double() ? "double"
                                           : "text";
        return std::string(kind) + ":" + v.text_form();
    };
    for (const std::string& sql : {columns + rows, columns + ", INTERVAL (i) DAY AS other" + rows}) {
        std::vector<std::string> expected, seen;
        con.for_each_chunk(sql, [&](tarvo::core::Table& chunk) {
            for (size_t i = 0; i < chunk.nrows(); ++i)
                for (size_t c = 0; c < chunk.ncols(); ++c)
                    expected.push_back(describe(chunk.column(c).get(i)) + " / " + chunk.column(c).text_form(i));
        });
        const size_t ncols = con.query(sql + " LIMIT 0").ncols();
        size_t chunks = 0;
        std::string scratch;
        con.for_each_cell_chunk(sql, [&](const tarvo::vandel::CellChunk& chunk) {
            ++chunks;
            for (size_t i = 0; i < chunk.rows(); ++i)
                for (size_t c = 0; c < ncols; ++c) {
                    EXPECT_EQ(chunk.is_null(c, i), chunk.value(c, i).is_null());
                    seen.push_back(describe(chunk.value(c, i)) + " / " + std::string(chunk.text_form(c, i, scratch)));
                }
        });
        EXPECT_GT(chunks, 1u);
        ASSERT_EQ(seen.size(), expected.size());
        for (size_t k = 0; k < seen.size(); ++k)
            ASSERT_EQ(seen[k], expected[k]) << "row " << k / ncols << ", column " << k % ncols << " of " << sql;
    }
}

TEST(VandelRows, NestedListsAreRefusedAndErrorsKeepTheirKind) {
    Vandel con(":memory:");
    auto nothing = [](std::vector<Document>&) {};
    EXPECT_EQ(kind_thrown_by([&] { con.for_each_row("SELECT [[1]] AS n", nothing); }),
              ErrorKind::NotImplementedException);
    EXPECT_EQ(kind_thrown_by([&] { con.for_each_row("SELECT * FROM missing_table", nothing); }),
              ErrorKind::CatalogException);
}

TEST(VandelMemo, LivesUntilAStatementForEffectOrClose) {
    Vandel con(":memory:");
    EXPECT_EQ(con.memo("k"), nullptr);
    con.set_memo("k", std::any(7));
    ASSERT_NE(con.memo("k"), nullptr);
    EXPECT_EQ(std::any_cast<int>(*con.memo("k")), 7);
    con.query("SELECT 1");
    EXPECT_NE(con.memo("k"), nullptr);

    Vandel moved(std::move(con));
    EXPECT_NE(moved.memo("k"), nullptr);

    moved.execute("CREATE TABLE t (a INT)");
    EXPECT_EQ(moved.memo("k"), nullptr);
    moved.set_memo("k", std::any(1));
    moved.executemany("INSERT INTO t VALUES (?)", {{tarvo::core::Value(1)}});
    EXPECT_EQ(moved.memo("k"), nullptr);
    moved.set_memo("k", std::any(1));
    moved.close();
    EXPECT_EQ(moved.memo("k"), nullptr);
}

}  // namespace
