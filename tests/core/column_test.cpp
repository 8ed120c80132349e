#include "tarvo/core/column.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <limits>
#include <string>
#include <vector>

#include "tarvo/core/packed_words.hpp"
#include "tarvo/core/table.hpp"

namespace {

using namespace tarvo::core;

TEST(PackedWords, WidensOnlyAsFarAsNeededAndKeepsEveryWord) {
    struct Case {
        std::vector<int64_t> words;
        size_t width;
    };
    const int64_t min64 = std::numeric_limits<int64_t>::min();
    const auto double_bits = static_cast<int64_t>(std::bit_cast<uint64_t>(-2.5));
    const Case cases[] = {
        {{0, 1, -1, 127, -128}, 1},
        {{5, 128, -3}, 2},
        {{-32769, 7}, 4},
        {{1, int64_t{1} << 31, -2}, 8},
        {{3, min64, 4}, 8},
        {{0, double_bits}, 8},
    };
    for (const auto& c : cases) {
        PackedWords pushed;
        PackedWords set(c.words.size());
        for (size_t i = 0; i < c.words.size(); ++i) {
            pushed.push_back(static_cast<uint64_t>(c.words[i]));
            set.set(i, static_cast<uint64_t>(c.words[i]));
        }
        std::vector<size_t> backwards;
        for (size_t i = c.words.size(); i-- > 0;) backwards.push_back(i);
        const PackedWords gathered = pushed.gather(backwards);
        ASSERT_EQ(gathered.size(), c.words.size());
        for (size_t i = 0; i < backwards.size(); ++i)
            EXPECT_EQ(static_cast<int64_t>(gathered[i]), c.words[backwards[i]]) << "gathered " << i;
        EXPECT_EQ(pushed.width(), c.width);
        EXPECT_EQ(set.width(), c.width);
        ASSERT_EQ(pushed.size(), c.words.size());
        for (size_t i = 0; i < c.words.size(); ++i) {
            EXPECT_EQ(static_cast<int64_t>(pushed[i]), c.words[i]) << "word " << i;
            EXPECT_EQ(static_cast<int64_t>(set[i]), c.words[i]) << "word " << i;
        }
    }
}

// Many words: the room runs out and grows, a late word widens everything held, and copies and
// moves carry exactly the words.
TEST(PackedWords, GrowsWidensCopiesAndMovesWithEveryWordKept) {
    for (const size_t reserved : {0, 10, 5000}) {
        std::vector<int64_t> words;
        PackedWords packed;
        packed.reserve(reserved);
        for (int64_t i = 0; i < 3000; ++i) {
            const int64_t word = i == 2000 ? -5000000000 : i == 1000 ? 70000 : (i * 37) % 200 - 100;
            words.push_back(word);
            packed.push_back(static_cast<uint64_t>(word));
        }
        PackedWords copy = packed;
        copy.push_back(1);
        copy.set(0, 99);
        PackedWords moved = std::move(packed);
        EXPECT_EQ(packed.size(), 0u) << reserved;
        packed.push_back(7);  // a moved-from vector is empty and usable
        ASSERT_EQ(packed.size(), 1u);
        EXPECT_EQ(static_cast<int64_t>(packed[0]), 7);
        ASSERT_EQ(moved.size(), words.size());
        ASSERT_EQ(copy.size(), words.size() + 1);
        EXPECT_EQ(moved.width(), 8u);
        for (size_t i = 0; i < words.size(); ++i) {
            ASSERT_EQ(static_cast<int64_t>(moved[i]), words[i]) << "word " << i << ", reserved " << reserved;
            ASSERT_EQ(static_cast<int64_t>(copy[i]), i == 0 ? 99 : words[i]) << "word " << i;
        }
        EXPECT_EQ(static_cast<int64_t>(copy[words.size()]), 1);
    }
}

std::vector<std::string> text_forms(const Column& c) {
    std::vector<std::string> out;
    for (size_t i = 0; i < c.size(); ++i) out.push_back(c.text_form(i));
    return out;
}

TEST(Column, CellsKeepTheirValuesAsThePayloadWidens) {
    Column c(mixed);
    c.push_int(3);
    c.push_text("YI");
    c.push_null();
    c.push_int(-70000);
    c.push_double(0.25);
    c.push_int(std::numeric_limits<int64_t>::max());
    c.set(0, Value(int64_t{-1}));
    EXPECT_EQ(text_forms(c), (std::vector<std::string>{"-1", "YI", "None", "-70000", "0.25",
                                                       "9223372036854775807"}));
    EXPECT_TRUE(c.is_double_cell(4));
    EXPECT_EQ(c.double_at(4), 0.25);
}

TEST(Column, SharedTextsStaySeparateCellsThroughSetsTakesAndReorders) {
    Column c = Column::of_str({"KOBI", "MIKRO", "KOBI", std::nullopt, "KOBI", ""});
    c.share_equal_texts();
    const std::vector<std::string> shared = text_forms(c);
    EXPECT_EQ(shared, (std::vector<std::string>{"KOBI", "MIKRO", "KOBI", "None", "KOBI", ""}));

    // Writing one cell that shares its text leaves the others alone.
    Column written = c;
    written.set(0, Value("ESKK"));
    EXPECT_EQ(text_forms(written), (std::vector<std::string>{"ESKK", "MIKRO", "KOBI", "None", "KOBI", ""}));

    struct Case {
        std::vector<size_t> rows;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {{5, 4, 3, 2, 1, 0}, {"", "KOBI", "None", "KOBI", "MIKRO", "KOBI"}},  // a reorder
        {{1}, {"MIKRO"}},                                                      // fewer rows than texts
        {{2, 2, 1, 2}, {"KOBI", "KOBI", "MIKRO", "KOBI"}},
        {{}, {}},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(text_forms(c.take(k.rows)), k.texts);
        Column moved = c;
        EXPECT_EQ(text_forms(std::move(moved).take(k.rows)), k.texts);
    }
    EXPECT_EQ(text_forms(c), shared);  // the source is unchanged by a copying take
}

TEST(Table, ReorderKeepsRowsTogether) {
    Table t;
    t.set("muta", Column::of_str({"a", "b", "c"}));
    Column segment = Column::of_str({"X", "Y", "X"});
    segment.share_equal_texts();
    t.set("segment", std::move(segment));
    t.set("risk", Column::of_i64({1, std::nullopt, 300000}));
    t.reorder({2, 0, 1});
    EXPECT_EQ(text_forms(t["muta"]), (std::vector<std::string>{"c", "a", "b"}));
    EXPECT_EQ(text_forms(t["segment"]), (std::vector<std::string>{"X", "X", "Y"}));
    EXPECT_EQ(text_forms(t["risk"]), (std::vector<std::string>{"300000", "1", "<NA>"}));
}

// Long columns are gathered by several threads, each a run of the rows: every cell must land in
// its own place, whatever the cell's kind and the column's byte width.
TEST(Table, ReorderWithThreadsPutsEveryCellWhereOneThreadDoes) {
    const size_t n = 200003;  // long enough for threads, and not a multiple of their count
    std::vector<std::optional<int64_t>> wide(n), narrow(n);
    std::vector<std::optional<std::string>> texts(n);
    Column mixed(Kind::mixed, n);
    for (size_t i = 0; i < n; ++i) {
        wide[i] = i % 7 == 0 ? std::nullopt : std::optional<int64_t>(static_cast<int64_t>(i) * 40000);
        narrow[i] = static_cast<int64_t>(i % 100);
        texts[i] = i % 5 == 0 ? std::nullopt : std::optional<std::string>("firma " + std::to_string(i));
        if (i % 3 == 0) mixed.set_double(i, 0.5 * static_cast<double>(i));
        if (i % 3 == 1) mixed.set(i, Value("t" + std::to_string(i % 10)));
    }
    Table t;
    t.set("wide", Column::of_i64(wide));
    t.set("narrow", Column::of_i64(narrow));
    t.set("texts", Column::of_str(texts));
    t.set("mixed", std::move(mixed));
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; ++i) order[i] = (i * 7919) % n;  // a permutation: 7919 is prime to n
    Table one = t;
    one.reorder(order, 1);
    for (const size_t threads : {2, 3}) {
        Table several = t;
        several.reorder(order, threads);
        for (const char* name : {"wide", "narrow", "texts", "mixed"}) {
            ASSERT_EQ(text_forms(several[name]), text_forms(one[name])) << name << ", " << threads << " threads";
        }
    }
    EXPECT_EQ(one["wide"].text_form(1), text_forms(t["wide"])[7919]);
}

}  // namespace
