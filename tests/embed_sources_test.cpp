// tarvo_embed_sources() (cmake/EmbedSources.cmake) must embed each file's bytes exactly, under its path relative
// to the source root, in the order given. CMakeLists.txt embeds tests/data/embed_probe.txt (CRLF, quotes,
// backslashes, a raw-string closer, UTF-8, control bytes, no final newline) and this file.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tarvo/embedded/tarvo_tests_embed_probe.hpp"

namespace {

std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot open " << path;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(EmbedSources, EachFileIsEmbeddedByteForByteUnderItsRelativePath) {
  const auto& files = tarvo::embedded::tarvo_tests_embed_probe;
  ASSERT_EQ(files.size(), 2u);
  const char* expected_paths[] = {"tests/data/embed_probe.txt", "tests/embed_sources_test.cpp"};
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(expected_paths[i]);
    EXPECT_STREQ(files[i].first, expected_paths[i]);
    const std::string on_disk = read_bytes(std::string(TARVO_SOURCE_DIR) + "/" + expected_paths[i]);
    ASSERT_FALSE(on_disk.empty());
    EXPECT_EQ(std::string(files[i].second), on_disk);
  }
}

}  // namespace
