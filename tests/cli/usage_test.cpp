#include "tarvo/cli/usage.hpp"

#include <gtest/gtest.h>

namespace tarvo::cli {
namespace {

TEST(Closest, TyposAndPrefixesFindTheirWord) {
    const std::vector<std::string> commands{"ingest", "transform", "marts", "run", "verify", "demo"};
    const std::vector<std::pair<std::string, std::string>> cases{
        {"inget", " (did you mean ingest?)"}, {"tranform", " (did you mean transform?)"},
        {"mart", " (did you mean marts?)"},   {"rnu", " (did you mean run?)"},
        {"verfy", " (did you mean verify?)"}, {"tr", " (did you mean transform?)"},
        {"xyz", ""},                          {"", ""},
        {"ru", " (did you mean run?)"},       {"dmo", " (did you mean demo?)"},
    };
    for (const auto& [word, want] : cases) EXPECT_EQ(did_you_mean(word, commands), want) << word;
    EXPECT_EQ(closest("--sufix", {"--help", "--output-dir", "--suffix"}), "--suffix");
    EXPECT_EQ(closest("--out", {"--help", "--output-dir", "--suffix"}), "--output-dir");
}

TEST(ErrorLine, FirstLineOnlyAndCapped) {
    EXPECT_EQ(error_line("tarvo: X: ", "first\nsecond"), "tarvo: X: first");
    const std::string line = error_line("tarvo: ", std::string(1000, 'a'));
    EXPECT_EQ(line.size(), kMaxErrorLine);
    EXPECT_TRUE(line.ends_with("…"));
}

}  // namespace
}  // namespace tarvo::cli
