// Streamed results read the same whether their chunks are fetched by the reader itself (one
// thread) or ahead of it on a thread of their own: every row once and in order, a failure
// part-way still reported with its kind, and a reader that stops early leaving the connection
// usable.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "support/threads_scope.hpp"
#include "support/thrown.hpp"
#include "tarvo/vandel/engine_settings.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::vandel {
namespace {

using testing::ThreadsScope;

constexpr int64_t kRows = 200'000;  // about a hundred chunks
const std::string kRangeSql = "SELECT range AS i, range * 2 AS j FROM range(" + std::to_string(kRows) + ")";

TEST(StreamedChunks, EveryRowOnceInOrderWithOrWithoutFetchingAhead) {
    for (const int64_t threads : {1, 2, 3}) {
        SCOPED_TRACE(threads);
        ThreadsScope scope(threads);
        Vandel con(":memory:");
        int64_t next = 0;
        bool in_order = true;
        con.for_each_number_chunk(kRangeSql, [&](const NumberChunk& chunk) {
            for (size_t r = 0; r < chunk.rows(); ++r, ++next)
                in_order = in_order && chunk.at(0, r) == static_cast<double>(next) &&
                           chunk.at(1, r) == static_cast<double>(2 * next);
        });
        EXPECT_TRUE(in_order);
        EXPECT_EQ(next, kRows);

        next = 0;
        in_order = true;
        con.for_each_cell_chunk(kRangeSql, [&](const CellChunk& chunk) {
            for (size_t r = 0; r < chunk.rows(); ++r, ++next)
                in_order = in_order && chunk.value(0, r).as_int() == next;
        });
        EXPECT_TRUE(in_order);
        EXPECT_EQ(next, kRows);

        next = 0;
        in_order = true;
        con.for_each_chunk(kRangeSql, [&](core::Table& chunk) {
            for (size_t r = 0; r < chunk.nrows(); ++r, ++next) in_order = in_order && chunk.column(0).int_at(r) == next;
        });
        EXPECT_TRUE(in_order);
        EXPECT_EQ(next, kRows);
    }
}

TEST(StreamedChunks, AFailurePartWayKeepsItsKindAndAnEarlyStopLeavesTheConnectionUsable) {
    for (const int64_t threads : {1, 2}) {
        SCOPED_TRACE(threads);
        ThreadsScope scope(threads);
        Vandel con(":memory:");
        int64_t rows = 0;
        // Far enough in that the engine has handed out chunks before it meets the bad cell.
        const std::string failing =
            "SELECT CAST(CASE WHEN range < 1500000 THEN '1' ELSE 'x' END AS INTEGER) AS v FROM range(2000000)";
        EXPECT_EQ(testing::kind_thrown_by([&] {
                      con.for_each_number_chunk(failing, [&](const NumberChunk& c) { rows += c.rows(); });
                  }),
                  core::ErrorKind::ConversionException);
        EXPECT_GT(rows, 0);
        EXPECT_LT(rows, 2000000);

        int chunks = 0;
        EXPECT_THROW(con.for_each_number_chunk(kRangeSql,
                                               [&](const NumberChunk&) {
                                                   if (++chunks == 3) throw std::runtime_error("stop");
                                               }),
                     std::runtime_error);
        EXPECT_EQ(chunks, 3);
        EXPECT_EQ(con.query("SELECT 41 + 1 AS x").column(0).int_at(0), 42);
    }
}

}  // namespace
}  // namespace tarvo::vandel
