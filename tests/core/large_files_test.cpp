// Files past the 32-bit limits (2 GiB for a signed off_t, 4 GiB for a 32-bit size_t): a large
// portfolio's warehouse and scoreboard get there, and on a 32-bit target every size and stat call
// on them must still work. The files are sparse, so they take no disk space.
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "support/source_files.hpp"
#include "tarvo/brenk/closing_block.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/pipeline/ingest/warehouse_rebuild.hpp"

namespace tarvo {
namespace {

namespace fs = std::filesystem;

// `head`, then zeros up to `size` bytes.
void write_sparse(const fs::path& file, std::string_view head, uintmax_t size) {
    testing::write_bytes(file, head);
    ASSERT_EQ(::truncate(file.c_str(), static_cast<off_t>(size)), 0) << file << " to " << size;
}

struct LargeSize {
    uintmax_t bytes;
    const char* shown;
};

const LargeSize kSizes[] = {
    {(uintmax_t{1} << 31) + 1, "2.0 GB"},  // past a signed 32-bit offset
    {(uintmax_t{1} << 32) + 4096, "4.0 GB"},  // past a 32-bit size
    {uintmax_t{5} << 30, "5.0 GB"},
};

TEST(LargeFiles, TheClosingBlockGivesTheirSize) {
    for (const LargeSize& size : kSizes) {
        testing::TempDir dir("tarvo-large");
        const marts::MartOutputs outputs = marts::mart_outputs(dir / "db" / "w.duckdb", std::nullopt, "");
        write_sparse(outputs.scoreboard_json, "{", size.bytes);
        EXPECT_EQ(fs::file_size(outputs.scoreboard_json), size.bytes);
        const std::vector<std::string> lines = brenk::closing_block(outputs, std::nullopt, 0);
        const std::string want = core::path_text(outputs.scoreboard_json) + " (" + size.shown + ")";
        EXPECT_NE(std::find(lines.begin(), lines.end(), "    " + want), lines.end()) << want;
    }
}

TEST(LargeFiles, ALargeWarehouseMayBeRebuiltAndALargeOtherFileMayNot) {
    // A DuckDB file header: 8 bytes of checksum, then the magic.
    const std::string warehouse_head = std::string(8, '\0') + "DUCK" + std::string(52, '\0');
    for (const LargeSize& size : kSizes) {
        testing::TempDir dir("tarvo-large");
        const fs::path warehouse = dir / "ovik.duckdb", other = dir / "other.duckdb";
        write_sparse(warehouse, warehouse_head, size.bytes);
        write_sparse(other, "not a warehouse", size.bytes);
        EXPECT_TRUE(ingest::is_warehouse_file(warehouse)) << size.bytes;
        EXPECT_NO_THROW(ingest::check_warehouse_target(warehouse, false)) << size.bytes;
        EXPECT_THROW(ingest::check_warehouse_target(other, false), core::FileExistsError) << size.bytes;
    }
}

}  // namespace
}  // namespace tarvo
