#include "tarvo/cli/hints.hpp"

#include <gtest/gtest.h>

#include "tarvo/core/errors.hpp"
#include "tarvo/vandel/engine_settings.hpp"

namespace {

using namespace tarvo;

// The engine running out of memory is no fault of the input: the hint names the limit in force
// and the two options that change it.
TEST(Hints, OutOfMemoryNamesTheLimitInForce) {
    const vandel::EngineSettings saved = vandel::engine_settings();
    vandel::set_engine_settings({.memory_limit_bytes = int64_t{128} << 20, .threads = 2});
    const cli::Invocation call{"ingest", "src", "db/ovik.duckdb"};
    const core::Error oom(core::ErrorKind::OutOfMemoryException,
                          "Out of Memory Error: could not allocate block of size 16.0 MiB (120.0 MiB/128.0 MiB used)");
    EXPECT_EQ(cli::hint_for(call, oom), "hint: the warehouse engine ran out of memory at its limit of 128 MiB; give it "
                                        "more with --memory-limit, or fewer --threads");
    vandel::set_engine_settings(saved);
}

}  // namespace
