#include "tarvo/pipeline/dalmer/literal_eval.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tarvo/core/errors.hpp"

namespace {

using tarvo::core::Document;
using tarvo::core::List;
using tarvo::dalmer::literal_codes;
using tarvo::dalmer::literal_eval;

TEST(LiteralEval, ReadsListTextAndNumberLiterals) {
    struct Case {
        std::string source;
        Document expected;
    };
    const std::vector<Case> cases = {
        {"['EI1', 'EI4']", Document(List{Document("EI1"), Document("EI4")})},
        {"  [\"EI1\",'EI2' , ]  ", Document(List{Document("EI1"), Document("EI2")})},
        {"[]", Document(List{})},
        {"[['EI1'], [2, 'x']]",
         Document(List{Document(List{Document("EI1")}), Document(List{Document(int64_t{2}), Document("x")})})},
        {"'EI3'", Document("EI3")},
        {"'a\\'b\\\\c\\x41\\u00e7'", Document("a'b\\cA\xc3\xa7")},
        {"'\\q'", Document("\\q")},
        {"'İzleme ş'", Document("İzleme ş")},
        {"42", Document(int64_t{42})},
        {"-7", Document(int64_t{-7})},
        {"- 7", Document(int64_t{-7})},
        {"0", Document(int64_t{0})},
        {"000", Document(int64_t{0})},
        {"2.5", Document(2.5)},
        {".5", Document(0.5)},
        {"5.", Document(5.0)},
        {"1e3", Document(1000.0)},
        {"-9223372036854775808", Document(INT64_MIN)},
        {"9223372036854775808", Document(9223372036854775808.0)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(literal_eval(c.source), c.expected) << c.source;
    }
}

TEST(LiteralEval, RejectsEverythingElseAsMalformed) {
    const std::vector<std::string> malformed = {
        "",        "EI1",         "None",      "True",          "__import__('os')", "['EI1'",
        "['EI1',", "'EI1",        "['a' 'b']", "['a'] x",       "('a', 'b')",       "{'a': 1}",
        "1 2",     "12abc",       "007",       "1_000",         "0x10",             "[,]",
        "'a\nb'",  "'\\x4'",      "+",         "u'EI1'",        "f(1)",             "[1, EI1]",
    };
    for (const std::string& s : malformed) {
        try {
            literal_eval(s);
            ADD_FAILURE() << "accepted: " << s;
        } catch (const tarvo::core::ValueError& e) {
            EXPECT_EQ(std::string(e.what()), "malformed node or string: " + s);
        }
    }
    // 'it''s' is two adjacent texts, which a plain literal reader does not join.
    EXPECT_THROW(literal_eval("'it''s'"), tarvo::core::ValueError);
}

TEST(LiteralEval, NestingIsBounded) {
    std::string ok(64, '[');
    ok += std::string(64, ']');
    EXPECT_NO_THROW(literal_eval(ok));
    std::string deep(100000, '[');
    deep += std::string(100000, ']');
    EXPECT_THROW(literal_eval(deep), tarvo::core::ValueError);
}

TEST(LiteralEval, CodesFlattenTrimAndDropRepeats) {
    struct Case {
        std::string source;
        std::vector<std::string> codes;
    };
    const std::vector<Case> cases = {
        {"['EI1', 'EI4']", {"EI1", "EI4"}},
        {"[' EI1 ', 'EI1', '', ['EI2', ['EI4']]]", {"EI1", "EI2", "EI4"}},
        {"'EI3'", {"EI3"}},
        {"[]", {}},
        {"['  ']", {}},
        {"[12, 1.5]", {"12", "1.5"}},
    };
    for (const Case& c : cases) EXPECT_EQ(literal_codes(literal_eval(c.source)), c.codes) << c.source;
}

}  // namespace
