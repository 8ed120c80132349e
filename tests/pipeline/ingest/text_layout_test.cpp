#include <gtest/gtest.h>

#include "tarvo/core/errors.hpp"
#include "tarvo/pipeline/ingest/text_layout.hpp"

namespace tarvo::ingest {
namespace {

// Line ends outside quoted fields become LF; quoted fields keep theirs; line numbers start at
// the line given for the first record.
TEST(NormalizeRecords, LineEndsBecomeLfOutsideQuotes) {
    struct Case {
        std::string text;
        size_t begin;
        std::string want;
        bool quoted_line_breaks;
    };
    const std::vector<Case> cases{
        {"a;b\r\n1;2\n3;4\r\n", 0, "a;b\n1;2\n3;4\n", false},
        {"a;b\n1;\"x\r\ny\"\r\n2;\"\"\"q\"\"\"\n", 0, "a;b\n1;\"x\r\ny\"\n2;\"\"\"q\"\"\"\n", true},
        {"a;b\r\n1;ab\"c\r\n", 0, "a;b\n1;ab\"c\n", false},  // a quote inside a field is a character
        {"\xEF\xBB\xBF\r\na;b\r\n1;2", 5, "\xEF\xBB\xBF\r\na;b\n1;2", false},
        {"a;b\n1;\"\"\n", 0, "a;b\n1;\"\"\n", false},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        const TextLayout layout = normalize_records(text, c.begin, ';', 1, "f.csv");
        EXPECT_EQ(text, c.want) << c.text;
        EXPECT_EQ(layout.quoted_line_breaks, c.quoted_line_breaks) << c.text;
    }
}

// Damaged text: one message with the file, the line and what is wrong, none of the content.
TEST(NormalizeRecords, DamagedTextNamesTheLineNotItsContent) {
    const std::string secret = "GIZLI FIRMA A.S.";
    struct Case {
        std::string text;
        int64_t first_line;
        std::string message;
    };
    std::string too_long = "a;b\n1;2\r\n3;" + std::string(kMaxRecordBytes - 1, 'G') + "\n";
    std::string longest = "a;b\n3;" + std::string(kMaxRecordBytes - 2, 'G') + "\n";
    const std::vector<Case> cases{
        {"a;b\n1;\"" + secret + "\n2;x\n", 1, "cannot read f.csv: line 2: a quoted field is not closed"},
        {"a;b\r\n1;2\n\n3;\"" + secret + "\r\n", 1, "cannot read f.csv: line 4: a quoted field is not closed"},
        {"a;b\n1;\"" + secret + "\"x\n", 3, "cannot read f.csv: line 4: text after the closing quote of a field"},
        {"a;b\n1;\"x\ny\";\"" + secret + "\" \n", 1, "cannot read f.csv: line 3: text after the closing quote of a field"},
        {"a;b\n1;" + secret + "\r" + secret + "\n", 1, "cannot read f.csv: line 2: a carriage return without a line feed"},
        {too_long, 1, "cannot read f.csv: line 3: longer than 16 MiB (16,777,216 bytes)"},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        try {
            normalize_records(text, 0, ';', c.first_line, "f.csv");
            ADD_FAILURE() << c.message << ": no error";
        } catch (const core::Error& e) {
            EXPECT_EQ(e.kind(), core::ErrorKind::ReadError);
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
    // A record of exactly the limit is read.
    EXPECT_NO_THROW(normalize_records(longest, 0, ';', 1, "f.csv"));
}

// The CSV reader's errors quote whole source lines: only the line number and the field counts
// pass into the message.
TEST(CsvReaderFailure, KeepsLineNumberAndCountsOnly) {
    struct Case {
        std::string warehouse;
        int64_t first_line;
        std::string message;
    };
    const std::vector<Case> cases{
        {"Invalid Input Error: CSV Error on Line: 3; Expected Number of Columns: 2 Found: 3", 1,
         "cannot read f.csv: line 3 has more fields than the header (2)"},
        {"Invalid Input Error: CSV Error on Line: 3; Expected Number of Columns: 2 Found: 3", 4,
         "cannot read f.csv: line 6 has more fields than the header (2)"},
        {"Invalid Input Error: CSV Error on Line: 7", 1, "cannot read f.csv: line 7: the CSV reader refused the line"},
        {"Invalid Input Error: something else about '\u2026'", 1, "cannot read f.csv: the CSV reader refused the file"},
    };
    for (const Case& c : cases) {
        try {
            csv_reader_failure("f.csv", c.warehouse, c.first_line);
        } catch (const core::Error& e) {
            EXPECT_EQ(e.kind(), core::ErrorKind::ReadError);
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
}

}  // namespace
}  // namespace tarvo::ingest
