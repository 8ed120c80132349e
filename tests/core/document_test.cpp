#include "tarvo/core/document.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "tarvo/core/console.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/core/json.hpp"

namespace {

using namespace tarvo::core;

Document sample() {
    Dict inner;
    inner.set("b", Document(List{Document(int64_t{1}), Document(2.0), Document()}));
    inner.set("a", Document("şü\"\\\n\x01"));
    Dict top;
    top.set("z", Document(std::move(inner)));
    top.set("e", Document::empty_list());
    top.set("d", Document::empty_dict());
    top.set("n", Document(std::nan("")));
    top.set("i", Document(-std::numeric_limits<double>::infinity()));
    top.set("t", Document(true));
    return Document(std::move(top));
}

TEST(Json, CompactOptionSet) {
    EXPECT_EQ(to_json(sample(), JsonStyle::compact),
              "{\"z\":{\"b\":[1,2.0,null],\"a\":\"şü\\\"\\\\\\n\\u0001\"},\"e\":[],\"d\":{},"
              "\"n\":NaN,\"i\":-Infinity,\"t\":true}");
}

TEST(Json, IndentedOptionSetHasNoFinalNewline) {
    EXPECT_EQ(to_json(sample(), JsonStyle::indented),
              "{\n  \"z\": {\n    \"b\": [\n      1,\n      2.0,\n      null\n    ],\n"
              "    \"a\": \"şü\\\"\\\\\\n\\u0001\"\n  },\n  \"e\": [],\n  \"d\": {},\n"
              "  \"n\": NaN,\n  \"i\": -Infinity,\n  \"t\": true\n}");
}

TEST(Json, RowTableWritesAsListOfMappings) {
    Table t;
    t.set("muta", Column::of_str({"1", "2"}));
    t.set("r", Column::of_f64({1e16, std::nullopt}));
    Dict d;
    d.set("rows", Document::rows(t));
    EXPECT_EQ(to_json(Document(std::move(d)), JsonStyle::compact),
              "{\"rows\":[{\"muta\":\"1\",\"r\":1e+16},{\"muta\":\"2\",\"r\":null}]}");
    EXPECT_EQ(to_json(Document::rows(Table()), JsonStyle::indented), "[]");
}

// A row table is written a block of rows at a time; across blocks it must read exactly as the
// same rows written as mappings.
TEST(Json, RowTableOfManyRowsWritesAsItsRowsAsMappingsWould) {
    const Value cells[] = {Value(), Value(true), Value(int64_t{-42}), Value(0.1), Value(std::nan("")),
                           Value(std::numeric_limits<double>::infinity()), Value("a \"b\"\n"), Value("şü")};
    for (const size_t nrows : {1, 255, 256, 257, 600, 2047, 2048, 2049, 9000}) {
        Table t;
        Column muta(str), mixed_cells(mixed), whole(i64);
        for (size_t r = 0; r < nrows; ++r) {
            muta.push_text(std::to_string(1000 + r));
            mixed_cells.push_back(cells[r % std::size(cells)]);
            r % 3 ? whole.push_int(static_cast<int64_t>(r) * 1000003) : whole.push_null();
        }
        t.set("muta", std::move(muta));
        t.set("h\"ucre", std::move(mixed_cells));
        t.set("r", std::move(whole));
        List as_mappings;
        for (size_t r = 0; r < nrows; ++r) {
            Dict row;
            for (size_t c = 0; c < t.ncols(); ++c) row.set(t.names()[c], Document::of(t.column(c).get(r)));
            as_mappings.emplace_back(std::move(row));
        }
        Dict from_table, from_mappings;
        from_table.set("rows", Document::rows(std::move(t)));
        from_mappings.set("rows", Document(std::move(as_mappings)));
        // Several threads each make runs of rows into text; the rows must still come out in order.
        for (const JsonStyle style : {JsonStyle::compact, JsonStyle::indented}) {
            const std::string expected = to_json(Document(Dict(from_mappings)), style);
            for (const size_t threads : {1, 2, 3})
                EXPECT_EQ(to_json(Document(Dict(from_table)), style, threads), expected)
                    << nrows << " rows, " << threads << " threads";
        }
    }
}

// Text made for a string and text written to a stream (flushed a megabyte at a time) are the
// same, for documents on either side of the stream's block size.
TEST(Json, TextForAStringMatchesTheStreamAcrossItsBlocks) {
    for (const size_t items : {0, 1, 100000, 400000}) {
        List l;
        for (size_t i = 0; i < items; ++i) l.emplace_back(static_cast<int64_t>(i * 7919 % 100000));
        const Document d(std::move(l));
        std::ostringstream os;
        write_json(os, d, JsonStyle::compact);
        const std::string text = to_json(d, JsonStyle::compact);
        EXPECT_EQ(text, os.str()) << items << " items";
        EXPECT_EQ(text.front(), '[') << items << " items";
        EXPECT_EQ(text.back(), ']') << items << " items";
    }
}

TEST(Dict, KeepsInsertionOrderAndReplacesInPlace) {
    Dict d;
    for (int i = 0; i < 40; ++i) d.set("k" + std::to_string(i), Document(int64_t{i}));
    d.set("k3", Document("x"));
    EXPECT_EQ(d.begin()[3].first, "k3");
    EXPECT_EQ(d.at("k3").as_text(), "x");
    EXPECT_TRUE(d.erase("k0"));
    EXPECT_EQ(d.at("k39").as_int(), 39);
    EXPECT_EQ(d.find("k0"), nullptr);
    EXPECT_THROW(d.at("missing"), KeyError);
}

// Mappings made in one step, small (searched in turn) and large (indexed), with and without a
// repeated key: a repeat gives nothing and leaves the items as they were.
TEST(Dict, OfDistinctMakesTheMappingOnlyWhenNoKeyRepeats) {
    struct Case {
        int n;
        int repeat_at;  // -1: every key distinct; else this item takes the key of item 0
    };
    for (const Case c : {Case{0, -1}, Case{3, -1}, Case{15, -1}, Case{16, -1}, Case{40, -1}, Case{2, 1},
                         Case{15, 14}, Case{16, 15}, Case{40, 39}}) {
        std::vector<Dict::Item> items;
        for (int i = 0; i < c.n; ++i) items.emplace_back("k" + std::to_string(i), Document(int64_t{i}));
        if (c.repeat_at >= 0) items[c.repeat_at].first = "k0";
        const std::vector<Dict::Item> before = items;
        std::optional<Dict> d = Dict::of_distinct(items);
        SCOPED_TRACE("n=" + std::to_string(c.n) + " repeat_at=" + std::to_string(c.repeat_at));
        if (c.repeat_at >= 0) {
            EXPECT_FALSE(d);
            EXPECT_EQ(items, before);
            continue;
        }
        ASSERT_TRUE(d);
        EXPECT_TRUE(items.empty());
        ASSERT_EQ(d->size(), before.size());
        for (int i = 0; i < c.n; ++i) {
            EXPECT_EQ(d->begin()[i].first, before[i].first);
            EXPECT_EQ(d->at(before[i].first).as_int(), i);
        }
        EXPECT_EQ(d->find("absent"), nullptr);
        // Set afterwards, as any mapping: a new key at the end, a known key in its place.
        d->set("new", Document("x"));
        EXPECT_EQ(d->begin()[c.n].first, "new");
        if (c.n > 0) {
            d->set("k0", Document("y"));
            EXPECT_EQ(d->begin()[0].second.as_text(), "y");
        }
        EXPECT_EQ(d->size(), before.size() + 1);
    }
}

TEST(Document, KindTestAndRowsEquality) {
    Document l = Document::empty_list();
    EXPECT_THROW(require_dict(l, "scoreboard"), TypeError);
    EXPECT_NO_THROW(require_dict(Document::empty_dict(), "scoreboard"));

    Dict row;
    row.set("muta", Document("1"));
    List items;
    items.emplace_back(row);
    Document as_list(std::move(items));
    Table t;
    t.set("muta", Column::of_str({"1"}));
    EXPECT_TRUE(Document::rows(t) == as_list);
    Table back = rows_to_table(as_list);
    EXPECT_EQ(back.at(0, "muta"), Value("1"));
}

// A shared subtree reads as the document it holds, and a write through any holder changes that
// holder only.
TEST(Document, SharedSubtreeKeepsValueSemantics) {
    const std::string plain = to_json(sample(), JsonStyle::compact);
    struct Write {
        const char* name;
        void (*apply)(Document&);
        std::string after;  // the written holder's "z" member, compact
    };
    const std::vector<Write> writes = {
        {"set a key", [](Document& d) { d["z"].set("c", Document(int64_t{3})); },
         R"({"b":[1,2.0,null],"a":"şü\"\\\n\u0001","c":3})"},
        {"append to a list", [](Document& d) { d["z"]["b"].as_list().push_back(Document("x")); },
         R"({"b":[1,2.0,null,"x"],"a":"şü\"\\\n\u0001"})"},
        {"replace the subtree", [](Document& d) { d.set("z", Document(int64_t{0})); }, "0"},
    };
    for (const Write& w : writes) {
        SCOPED_TRACE(w.name);
        // The same subtree under two parents, and the whole tree shared by two holders.
        Dict parent;
        parent.set("x", Document::shared(sample()));
        parent.set("y", parent.at("x"));
        Document first = Document::shared(Document(std::move(parent)));
        Document second = first;
        EXPECT_EQ(first.kind(), DocKind::dict);
        EXPECT_EQ(Document::shared(first).kind(), DocKind::dict);
        EXPECT_TRUE(first == second);
        EXPECT_EQ(to_json(first, JsonStyle::compact), "{\"x\":" + plain + ",\"y\":" + plain + "}");

        w.apply(first["x"]);
        EXPECT_EQ(to_json(first["x"]["z"], JsonStyle::compact), w.after);
        EXPECT_EQ(to_json(first["y"], JsonStyle::compact), plain);
        EXPECT_EQ(to_json(second, JsonStyle::compact), "{\"x\":" + plain + ",\"y\":" + plain + "}");
        EXPECT_FALSE(first == second);
    }
}

TEST(Files, AtomicReplaceAndSortedGlob) {
    auto dir = std::filesystem::temp_directory_path() / "tarvo_files_test";
    std::filesystem::remove_all(dir);
    make_dirs(dir / "a" / "b");
    make_dirs(dir / "a" / "b");  // an existing directory is fine
    write_file_atomic(dir / "x.json", "one");
    write_file_atomic(dir / "x.json", "two");
    EXPECT_EQ(read_file(dir / "x.json"), "two");
    {
        AtomicFile f(dir / "x.json");
        f.stream() << "half";
        // destroyed without commit: the old file stays, no temporary is left
    }
    EXPECT_EQ(read_file(dir / "x.json"), "two");
    write_file_atomic(dir / "b.csv", "");
    write_file_atomic(dir / "a.csv", "");
    write_file_atomic(dir / ".h.csv", "");
    write_file_atomic(dir / "C.CSV", "");
    auto found = sorted_glob(dir, "*.csv");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].filename(), "a.csv");
    EXPECT_EQ(found[1].filename(), "b.csv");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 6);  // no temporaries
    EXPECT_TRUE(sorted_glob(dir / "missing", "*").empty());
    EXPECT_EQ(path_text("a//b/"), "a/b");
    std::filesystem::remove_all(dir);
}

TEST(Console, CapturesWholeLines) {
    ConsoleCapture cap;
    console().line("  one");
    console().err_line("bad");
    EXPECT_EQ(cap.out_lines(), (std::vector<std::string>{"  one"}));
    EXPECT_EQ(cap.err_lines(), (std::vector<std::string>{"bad"}));
}

}  // namespace
