#include "tarvo/core/text_index.hpp"

#include <gtest/gtest.h>

#include <string>
#include <unordered_map>
#include <vector>

namespace {

using tarvo::core::TextIndex;

// Keys indexed first-position-wins, then every key and some absent ones looked up, against a
// standard map built the same way. The sizes cross the table's growth steps, so that probing
// runs wrap around the end of the table and pass over occupied slots.
TEST(TextIndex, FindsTheFirstPositionOfEveryTextAndNothingForOthers) {
    for (const size_t n : {0, 1, 7, 8, 9, 1000, 4096}) {
        std::vector<std::string> texts;
        for (size_t i = 0; i < n; ++i) texts.push_back(i % 5 == 4 ? texts[i / 2] : "k" + std::to_string(i * 7919));
        if (n > 2) texts[1] = "";  // an empty text is a text like any other
        TextIndex index(texts.size(), [&texts](size_t p) -> const std::string& { return texts[p]; });
        std::unordered_map<std::string, size_t> expected;
        for (size_t p = 0; p < texts.size(); ++p) {
            size_t& held = index[texts[p]];
            if (held == index.kNone) held = p;
            expected.emplace(texts[p], p);
        }
        for (const auto& [text, p] : expected) EXPECT_EQ(index.at(text), p) << n << " texts, '" << text << "'";
        for (const std::string absent : {"k1", "K0", "k0 ", "x"}) {
            if (expected.contains(absent)) continue;
            EXPECT_EQ(index.at(absent), index.kNone) << n << " texts, '" << absent << "'";
        }
    }
}

}  // namespace
