// The engine's memory limit and threads: the command-line forms accepted and refused, and that
// every warehouse opened afterwards, read-only ones too, runs with them.
#include "tarvo/vandel/engine_settings.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::vandel {
namespace {

struct SizeCase {
    std::string text;
    int64_t bytes;      // 0: refused
    std::string error;  // the refusal's message
};

TEST(EngineSettings, MemoryLimitForms) {
    const std::string wants = "wants a size such as 512MB or 2GiB, got ";
    const std::vector<SizeCase> cases = {
        {"512MB", 512'000'000, ""},
        {"2GiB", int64_t{2} << 30, ""},
        {"1.5gib", int64_t{3} << 29, ""},
        {"2 GB", 2'000'000'000, ""},
        {"64MiB", int64_t{64} << 20, ""},
        {"8TB", 8'000'000'000'000, ""},
        {"63MiB", 0, "'63MiB' is below the smallest limit, 64 MiB"},
        {"0GB", 0, "'0GB' is below the smallest limit, 64 MiB"},
        {"5000000TiB", 0, "'5000000TiB' is larger than any machine's memory"},
        {"512", 0, wants + "'512'"},
        {"512M", 0, wants + "'512M'"},
        {"lots", 0, wants + "'lots'"},
        {"", 0, wants + "''"},
        {"-1GB", 0, wants + "'-1GB'"},
        {".5GB", 0, wants + "'.5GB'"},
        {"1.GB", 0, wants + "'1.GB'"},
        {"1.2.3GB", 0, wants + "'1.2.3GB'"},
        {"1  GB", 0, wants + "'1  GB'"},
        {"80%", 0, wants + "'80%'"},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(c.text);
        if (c.bytes) {
            EXPECT_EQ(parse_memory_limit(c.text), c.bytes);
            continue;
        }
        try {
            parse_memory_limit(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const core::ValueError& e) {
            EXPECT_EQ(std::string(e.what()), c.error);
        }
    }
}

TEST(EngineSettings, ThreadsForms) {
    EXPECT_EQ(parse_threads("1"), 1);
    EXPECT_EQ(parse_threads("256"), 256);
    for (const std::string bad : {"0", "257", "-2", "+2", "2.0", "two", "", " 2"}) {
        SCOPED_TRACE(bad);
        try {
            parse_threads(bad);
            ADD_FAILURE() << "accepted";
        } catch (const core::ValueError& e) {
            EXPECT_EQ(std::string(e.what()), "wants a whole number from 1 to 256, got '" + bad + "'");
        }
    }
}

TEST(EngineSettings, SizesAsTheEngineWritesThem) {
    EXPECT_EQ(memory_size_text(int64_t{1} << 30), "1 GiB");
    EXPECT_EQ(memory_size_text(int64_t{512} << 20), "512 MiB");
    EXPECT_EQ(memory_size_text(int64_t{3} << 29), "1.5 GiB");
    EXPECT_EQ(memory_size_text(1'000'000'000), "953.7 MiB");
}

// Restores the settings in force when the test ends.
class SettingsScope {
public:
    SettingsScope() : saved_(engine_settings()) {}
    ~SettingsScope() { set_engine_settings(saved_); }

private:
    EngineSettings saved_;
};

TEST(EngineSettings, EveryWarehouseOpenedAfterwardsRunsWithThem) {
    SettingsScope scope;
    core::TempDir dir("tarvo-engine-settings");
    const std::string db = (dir / "w.duckdb").string();
    Vandel(db).execute("CREATE TABLE t (x INTEGER)");
    const std::string sql = "SELECT current_setting('memory_limit') || ' / ' || current_setting('threads')";
    const std::vector<std::pair<EngineSettings, std::string>> cases = {
        {{int64_t{96} << 20, 1}, "96.0 MiB / 1"}, {{int64_t{3} << 30, 3}, "3.0 GiB / 3"}};
    for (const auto& [settings, expected] : cases) {
        set_engine_settings(settings);
        EXPECT_EQ(Vandel(db).fetchall(sql).at(0).at(0).as_text(), expected);
        EXPECT_EQ(Vandel(db, Access::read_only).fetchall(sql).at(0).at(0).as_text(), expected);
        EXPECT_EQ(Vandel(":memory:").fetchall(sql).at(0).at(0).as_text(), expected);
    }
}

}  // namespace
}  // namespace tarvo::vandel
