// How much memory and how many threads the warehouse engine may use. The settings hold for every
// warehouse this process opens: Vandel applies them when it opens one.
//
// The engine's own defaults (its buffers up to 80 % of physical memory, one thread per core) suit
// a 64-bit machine. On the small 32-bit ARM box a process has under 3 GB of address space for the
// engine's buffers and everything the program itself holds, so the defaults here are:
//   memory limit  half of physical memory, at most 1 GiB (512 MiB on a 1 GB box)
//   threads       one per core, at most 4
// The limit bounds the engine's buffers, not the process: past it, the engine writes what it can
// to a temporary directory beside the warehouse file, or fails the statement with an
// OutOfMemoryException.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvo::vandel {

struct EngineSettings {
    int64_t memory_limit_bytes;
    int64_t threads;
};

// Smallest memory limit accepted; below it the engine fails even small statements.
inline constexpr int64_t kMinMemoryLimitBytes = int64_t{64} << 20;
// Most threads accepted.
inline constexpr int64_t kMaxThreads = 256;

// The defaults above, for this machine.
EngineSettings default_engine_settings();

// The settings in force: the defaults until set_engine_settings() is called.
const EngineSettings& engine_settings();
void set_engine_settings(const EngineSettings& settings);

// The threads a run may use: the engine's, which our own steps share out too (one setting, so the
// two never add up past the machine).
inline size_t run_threads() { return static_cast<size_t>(engine_settings().threads); }

// A memory size as written on the command line: a number (decimals allowed) and one of the
// units KB, MB, GB, TB (powers of 1000) or KiB, MiB, GiB, TiB (powers of 1024), in any case,
// after at most one space, e.g. "512MB", "1.5GiB", "2 GB". ValueError with the reason for anything else, or for a size below
// kMinMemoryLimitBytes.
int64_t parse_memory_limit(std::string_view text);

// A thread count: a whole number from 1 to kMaxThreads. ValueError otherwise.
int64_t parse_threads(std::string_view text);

// A size for a person: "1 GiB", "512 MiB", "1.5 GiB".
std::string memory_size_text(int64_t bytes);

}  // namespace tarvo::vandel
