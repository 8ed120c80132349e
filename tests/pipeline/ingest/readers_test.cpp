#include <gtest/gtest.h>

#include "support/source_files.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/pipeline/ingest/readers.hpp"
#include "tarvo/pipeline/ingest/text_layout.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::ingest {
namespace {

using testing::TempDir;

// The cells of a table, row by row, "<null>" for a null, cells joined by "|".
std::vector<std::string> cells(const core::Table& t) {
    std::vector<std::string> rows;
    for (size_t r = 0; r < t.nrows(); ++r) {
        std::string row;
        for (size_t c = 0; c < t.ncols(); ++c) {
            if (c) row += "|";
            const core::Column& col = t.column(c);
            row += col.is_null(r) ? "<null>" : col.text_form(r);
        }
        rows.push_back(row);
    }
    return rows;
}

class ReadersTest : public ::testing::Test {
protected:
    TempDir dir{"tarvo-readers"};
    vandel::Vandel con{":memory:"};
};

TEST_F(ReadersTest, TextKeepsHeadersAndFieldsAsWritten) {
    testing::write_cp1254(dir / "a.csv",
                          "Must No;Cari Hesap Adı; Risk Bky Tl ;x\r\n"
                          "00123; Şirket A.Ş. ;1.234,50;nan\r\n"
                          "\r\n"
                          "45;\"Ünvan; tırnaklı \"\"q\"\"\";;None\r\n"
                          "6;NULL;NaT;<NA>\r\n"
                          "7;NaN;\"\";NA\r\n"
                          "8\r\n");
    core::Table t = read_text(con, dir / "a.csv", ';', Encoding::cp1254);
    EXPECT_EQ(t.names(), (std::vector<std::string>{"Must No", "Cari Hesap Adı", " Risk Bky Tl ", "x"}));
    for (size_t c = 0; c < t.ncols(); ++c) EXPECT_EQ(t.column(c).kind(), core::str) << c;
    EXPECT_EQ(cells(t), (std::vector<std::string>{
                            "00123| Şirket A.Ş. |1.234,50|<null>",
                            "45|Ünvan; tırnaklı \"q\"|<null>|<null>",
                            "6|NULL|<null>|<null>",
                            "7|<null>|<null>|NA",
                            "8|<null>|<null>|<null>",
                        }));
}

TEST_F(ReadersTest, Utf8TextWithLfAndNoFinalLineEnd) {
    testing::write_bytes(dir / "u.csv", "\xEF\xBB\xBFMUTA,skor\n1,2.5\n2,x");
    core::Table t = read_text(con, dir / "u.csv", ',', Encoding::utf8);
    EXPECT_EQ(t.names(), (std::vector<std::string>{"MUTA", "skor"}));
    EXPECT_EQ(cells(t), (std::vector<std::string>{"1|2.5", "2|x"}));
}

TEST_F(ReadersTest, EmptyAndRepeatedHeaderNamesStayApart) {
    testing::write_bytes(dir / "h.csv", "a;;a;b\n1;2;3;4\n");
    core::Table t = read_text(con, dir / "h.csv", ';', Encoding::utf8);
    EXPECT_EQ(t.names(), (std::vector<std::string>{"a", "Unnamed: 1", "a.1", "b"}));
    EXPECT_EQ(cells(t), (std::vector<std::string>{"1|2|3|4"}));
}

TEST_F(ReadersTest, HeaderOnlyFileHasColumnsAndNoRows) {
    testing::write_bytes(dir / "h.csv", "Must No;Must Ad\r\n");
    core::Table t = read_text(con, dir / "h.csv", ';', Encoding::utf8);
    EXPECT_EQ(t.names(), (std::vector<std::string>{"Must No", "Must Ad"}));
    EXPECT_EQ(t.nrows(), 0u);
}

TEST_F(ReadersTest, ColumnFilterFetchesOnlyChosenColumnsButChecksEveryRow) {
    testing::write_bytes(dir / "f.csv", "a;b;c\n1;2;3\n4;5;6\n");
    auto only_c = [](std::string_view n) { return n == "c"; };
    core::Table t = read_text(con, dir / "f.csv", ';', Encoding::utf8, only_c);
    EXPECT_EQ(t.names(), (std::vector<std::string>{"c"}));
    EXPECT_EQ(cells(t), (std::vector<std::string>{"3", "6"}));

    testing::write_bytes(dir / "g.csv", "a;b;c\n1;2;3\n4;5;6;7\n");
    EXPECT_THROW(read_text(con, dir / "g.csv", ';', Encoding::utf8, only_c), core::Error);
}

// Each unreadable file fails with one message that names the file and the reason.
TEST_F(ReadersTest, ReadFailuresNameFileAndReason) {
    struct Case {
        std::string name;
        std::string bytes;
        std::string reason;  // a part of the message
    };
    const std::vector<Case> cases{
        {"long_row.csv", "a;b\n1;2\n3;4;5\n", "line 3 has more fields than the header (2)"},
        {"empty.csv", "", "no columns to parse"},
        {"blank.csv", "\n\r\n", "no columns to parse"},
        {"bad_byte.csv", "a;b\n1;\x81x\n", "can't decode byte 0x81 in position 6"},
    };
    for (const Case& c : cases) {
        testing::write_bytes(dir / c.name, c.bytes);
        try {
            read_text(con, dir / c.name, ';', Encoding::cp1254);
            ADD_FAILURE() << c.name << " was read";
        } catch (const core::Error& e) {
            const std::string msg = e.what();
            EXPECT_NE(msg.find((dir / c.name).string()), std::string::npos) << msg;
            EXPECT_NE(msg.find(c.reason), std::string::npos) << msg;
        }
    }
    EXPECT_THROW(read_text(con, dir / "missing.csv", ';', Encoding::utf8), core::FileNotFoundError);
}

// Extracts concatenated on different systems end their lines partly in CRLF, partly in LF.
TEST_F(ReadersTest, MixedLineEndsAreReadAsLines) {
    testing::write_cp1254(dir / "m.csv",
                          "Must No;Must Ad\r\n1;Şirket A\n2;\"çok\r\nsatırlı\"\r\n\r\n3;C\n4;\"D\";\n");
    for (const bool detected : {false, true}) {
        core::Table t = detected ? read_text_detected(con, dir / "m.csv", Encoding::cp1254)
                                 : read_text(con, dir / "m.csv", ';', Encoding::cp1254);
        EXPECT_EQ(t.names(), (std::vector<std::string>{"Must No", "Must Ad"}));
        EXPECT_EQ(cells(t), (std::vector<std::string>{"1|Şirket A", "2|çok\r\nsatırlı", "3|C", "4|D"}));
    }
}

// A line up to 16 MiB is read whole; a short row after a quoted line break is still padded.
TEST_F(ReadersTest, LongLinesAndQuotedLineBreaksAreRead) {
    const std::string longest(kMaxRecordBytes - 2, 'x');
    testing::write_bytes(dir / "long.csv", "a;b;c\n1;\"p\nq\"\n2\r\n" + longest + ";\n");
    core::Table t = read_text(con, dir / "long.csv", ';', Encoding::utf8);
    ASSERT_EQ(t.nrows(), 3u);
    EXPECT_EQ(t.column(1).text_at(0), "p\nq");
    EXPECT_TRUE(t.column(2).is_null(0));
    EXPECT_EQ(t.column(0).text_at(1), "2");
    EXPECT_TRUE(t.column(1).is_null(1));
    EXPECT_EQ(t.column(0).text_at(2), longest);
}

// A line of the longest that starts in one of the CSV reader's buffers (about 32 MiB) and ends in
// the next is read whole, by the parallel reader.
TEST_F(ReadersTest, LongestLineAcrossTheReadersBuffers) {
    const std::string filler = "1;" + std::string(1000, 'f') + "\n";
    std::string text = "a;b\n";
    while (text.size() < (size_t{24} << 20)) text += filler;
    const size_t filler_rows = (text.size() - 4) / filler.size();
    const std::string longest(kMaxRecordBytes - 3, 'y');
    text += "2;" + longest + "\n3;end\n";
    testing::write_bytes(dir / "across.csv", text);
    core::Table t = read_text(con, dir / "across.csv", ';', Encoding::utf8);
    ASSERT_EQ(t.nrows(), filler_rows + 2);
    EXPECT_EQ(t.column(1).text_at(filler_rows), longest);
    EXPECT_EQ(t.column(1).text_at(filler_rows + 1), "end");
}

// Damaged extracts fail with one line: the file, the line number and what is wrong, without
// any of the file's content (firm names and amounts stay out of consoles and logs).
TEST_F(ReadersTest, DamagedExtractsGiveOneLineWithoutTheirContent) {
    const std::string firm = "GIZLI TEKSTIL A.S.", amount = "987654321";
    struct Case {
        std::string name;
        std::string bytes;
        std::string reason;  // the message after "cannot read <file>: "
    };
    const std::vector<Case> cases{
        {"quote.csv", "Must No;Must Ad;Risk\n1;\"" + firm + ";" + amount + "\n2;B;3\n",
         "line 2: a quoted field is not closed"},
        {"after_quote.csv", "Must No;Must Ad\r\n1;\"" + firm + "\"" + amount + "\r\n", "line 2: text after the closing quote of a field"},
        {"fields.csv", "\nMust No;Must Ad\n1;x\n2;" + firm + ";" + amount + "\n",
         "line 4 has more fields than the header (2)"},
        {"too_long.csv", "Must No;Must Ad\n1;" + firm + std::string(kMaxRecordBytes, 'x') + "\n",
         "line 2: longer than 16 MiB (16,777,216 bytes)"},
        {"bare_cr.csv", "Must No;Must Ad\n1;" + firm + "\r" + amount + "\n", "line 2: a carriage return without a line feed"},
    };
    for (const Case& c : cases) {
        testing::write_bytes(dir / c.name, c.bytes);
        const std::string want = "cannot read " + (dir / c.name).string() + ": " + c.reason;
        for (const bool detected : {false, true}) {
            try {
                detected ? read_text_detected(con, dir / c.name, Encoding::cp1254)
                         : read_text(con, dir / c.name, ';', Encoding::cp1254);
                ADD_FAILURE() << c.name << " was read";
            } catch (const core::Error& e) {
                const std::string msg = e.what();
                EXPECT_EQ(e.kind(), core::ErrorKind::ReadError) << c.name;
                EXPECT_EQ(msg, want);
                EXPECT_EQ(msg.find(firm), std::string::npos) << msg;
                EXPECT_EQ(msg.find(amount), std::string::npos) << msg;
            }
        }
    }
}

TEST_F(ReadersTest, UndefinedWindows1254ByteNamesTheFileAndOffset) {
    testing::write_bytes(dir / "u.csv", "MUTA;x\n1;a\x81\n");
    try {
        read_text(con, dir / "u.csv", ';', Encoding::cp1254);
        ADD_FAILURE() << "an undefined byte was read";
    } catch (const core::UnicodeDecodeError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "cannot read " + (dir / "u.csv").string() + ": 'cp1254' codec can't decode byte 0x81 in position 10");
    }
}

TEST(DetectSeparator, PicksTheSeparatorThatSplitsLinesAlike) {
    struct Case {
        std::string text;
        char want;
    };
    const std::vector<Case> cases{
        {"a;b;c\n1;2;3\n", ';'},
        {"a,b,c\n1,2,3\n", ','},
        {"a\tb\n1\t2\n", '\t'},
        {"a|b|c\n1|2|3\n", '|'},
        // Commas inside a ';' file's fields split lines unevenly.
        {"a;b\n1,5;2\n3;4,25,1\n", ';'},
        // A ';' inside quotes does not count.
        {"a,b\n\"x;y\",2\n", ','},
        // A short line in a ';' file: no candidate splits alike, the widest header wins.
        {"a;b;c\n1;2\n3;4;5\n", ';'},
        {"\nMUTA;DONEM\n\n1;2\n", ';'},
    };
    for (const Case& c : cases) EXPECT_EQ(detect_separator(c.text), c.want) << c.text;
}

TEST_F(ReadersTest, DetectedReadOfCommaFile) {
    testing::write_cp1254(dir / "c.csv", "Must No,Must Ad\n1,\"Öz, Ltd\"\n");
    core::Table t = read_text_detected(con, dir / "c.csv", Encoding::cp1254);
    EXPECT_EQ(t.names(), (std::vector<std::string>{"Must No", "Must Ad"}));
    EXPECT_EQ(cells(t), (std::vector<std::string>{"1|Öz, Ltd"}));
}

TEST_F(ReadersTest, ParquetKeepsStoredTypes) {
    testing::write_parquet(dir / "p.parquet",
                           "SELECT * FROM (VALUES (1::BIGINT, 'x', 1.25::DECIMAL(10,2), 'NaN'::DOUBLE, true),"
                           " (9007199254740993::BIGINT, NULL, NULL, 2.5::DOUBLE, false))"
                           " t(MUTA, s, d, f, b)");
    core::Table t = read_parquet(con, dir / "p.parquet");
    EXPECT_EQ(t.names(), (std::vector<std::string>{"MUTA", "s", "d", "f", "b"}));
    EXPECT_EQ(t["MUTA"].kind(), core::i64);
    EXPECT_EQ(t["MUTA"].int_at(1), 9007199254740993);
    EXPECT_EQ(t["d"].kind(), core::f64);
    EXPECT_EQ(t["d"].double_at(0), 1.25);
    EXPECT_TRUE(t["f"].is_null(0));
    EXPECT_EQ(t["f"].double_at(1), 2.5);
    EXPECT_EQ(t["b"].kind(), core::boolean);
    EXPECT_EQ(cells(t), (std::vector<std::string>{"1|x|1.25|<null>|True", "9007199254740993|<null>|<null>|2.5|False"}));

    testing::write_bytes(dir / "bad.parquet", "not parquet");
    EXPECT_THROW(read_parquet(con, dir / "bad.parquet"), core::Error);
}

}  // namespace
}  // namespace tarvo::ingest
