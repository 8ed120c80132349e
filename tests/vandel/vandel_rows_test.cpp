// Row-by-row results with LIST cells, and the per-connection memo.
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
