// The back-test firm lists narrowed to the manager firms, and its console line.
#include <gtest/gtest.h>

#include <string>
#include <unordered_set>

#include "tarvo/core/errors.hpp"
#include "tarvo/core/json.hpp"
#include "tarvo/pipeline/marts/admin_data.hpp"

namespace tarvo::marts {
namespace {

using core::Document;

Document lists(Document tp, Document fp, Document fn) {
    core::Dict d;
    d.set("tp", std::move(tp));
    d.set("fp", std::move(fp));
    d.set("fn", std::move(fn));
    return Document(std::move(d));
}

TEST(AdminFirmaFilter, KeepsByTextFormWithOwnValuesAndCounts) {
    core::Dict firma;
    firma.set("eus", lists(core::List{Document(int64_t{123}), Document("7"), Document(123.0)},
                           core::List{Document("123"), Document("8")}, core::List{}));
    firma.set("yis", Document());
    firma.set("ml", lists(core::List{Document("9")}, core::List{}, core::List{Document(int64_t{7})}));
    const std::unordered_set<std::string> admin = {"123", "7"};

    FirmaFilterResult r = filter_backtest_firma(Document(std::move(firma)), admin);
    EXPECT_EQ(core::to_json(r.lists, core::JsonStyle::compact),
              R"({"eus":{"tp":[123,"7"],"fp":["123"],"fn":[]},"yis":null,)"
              R"("ml":{"tp":[],"fp":[],"fn":[7]}})");
    EXPECT_EQ(r.before, 7);
    EXPECT_EQ(r.after, 4);
}

TEST(AdminFirmaFilter, AllNullModelsCountZero) {
    core::Dict firma;
    for (const char* m : {"eus", "yis", "ml"}) firma.set(m, Document());
    FirmaFilterResult r = filter_backtest_firma(Document(firma), {"1"});
    EXPECT_EQ(r.lists, Document(firma));
    EXPECT_EQ(r.before, 0);
    EXPECT_EQ(r.after, 0);
    EXPECT_THROW(filter_backtest_firma(Document::empty_list(), {}), core::TypeError);
}

TEST(AdminFirmaFilter, LineGroupsThousands) {
    EXPECT_EQ(backtest_firma_line(1234567, 567), "  [ADMIN] backtest_firma: 1,234,567 → 567 ID (admin filtre)");
    EXPECT_EQ(backtest_firma_line(0, 0), "  [ADMIN] backtest_firma: 0 → 0 ID (admin filtre)");
}

}  // namespace
}  // namespace tarvo::marts
