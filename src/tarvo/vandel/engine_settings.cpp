#include "tarvo/vandel/engine_settings.hpp"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <thread>

#include "tarvo/core/errors.hpp"

namespace tarvo::vandel {

namespace {

constexpr int64_t kMiB = int64_t{1} << 20;
constexpr int64_t kGiB = int64_t{1} << 30;

// Sizes as uint64_t products: on 32-bit ARM `long` is 32 bits and a 4 GB machine overflows it.
int64_t physical_memory_bytes() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_size = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || page_size <= 0) return 0;
    return static_cast<int64_t>(static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size));
}

EngineSettings& current() {
    static EngineSettings settings = default_engine_settings();
    return settings;
}

struct Unit {
    std::string_view name;  // lower case
    double bytes;
};

constexpr Unit kUnits[] = {{"kb", 1e3},          {"mb", 1e6},          {"gb", 1e9},
                           {"tb", 1e12},         {"kib", 1024.0},      {"mib", 1048576.0},
                           {"gib", 1073741824.0}, {"tib", 1099511627776.0}};

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

EngineSettings default_engine_settings() {
    const int64_t memory = physical_memory_bytes();
    const int64_t half = memory > 0 ? memory / 2 : kGiB;
    const int64_t cores = std::max<int64_t>(1, std::thread::hardware_concurrency());
    return {std::clamp(half, kMinMemoryLimitBytes, kGiB), std::min<int64_t>(cores, 4)};
}

const EngineSettings& engine_settings() { return current(); }

void set_engine_settings(const EngineSettings& settings) { current() = settings; }

int64_t parse_memory_limit(std::string_view text) {
    const std::string bad = "wants a size such as 512MB or 2GiB, got '" + std::string(text) + "'";
    size_t digits = 0;
    while (digits < text.size() && (std::isdigit(static_cast<unsigned char>(text[digits])) || text[digits] == '.'))
        ++digits;
    const std::string_view number = text.substr(0, digits);
    if (number.empty() || number.front() == '.' || number.back() == '.' ||
        std::count(number.begin(), number.end(), '.') > 1)
        throw core::ValueError(bad);
    double value = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec != std::errc() || end != number.data() + number.size()) throw core::ValueError(bad);
    std::string_view unit_text = text.substr(digits);
    if (unit_text.starts_with(' ')) unit_text.remove_prefix(1);
    const std::string unit = lower(unit_text);
    const Unit* u = std::find_if(std::begin(kUnits), std::end(kUnits), [&](const Unit& k) { return k.name == unit; });
    if (u == std::end(kUnits)) throw core::ValueError(bad);
    const double bytes = value * u->bytes;
    // Past 2^62 bytes no machine has the memory; the bound keeps the conversion exact.
    if (bytes >= 4.6e18) throw core::ValueError("'" + std::string(text) + "' is larger than any machine's memory");
    if (bytes < static_cast<double>(kMinMemoryLimitBytes))
        throw core::ValueError("'" + std::string(text) + "' is below the smallest limit, " +
                               memory_size_text(kMinMemoryLimitBytes));
    return static_cast<int64_t>(bytes);
}

int64_t parse_threads(std::string_view text) {
    int64_t n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || n < 1 || n > kMaxThreads)
        throw core::ValueError("wants a whole number from 1 to " + std::to_string(kMaxThreads) + ", got '" +
                               std::string(text) + "'");
    return n;
}

std::string memory_size_text(int64_t bytes) {
    const bool gib = bytes >= kGiB;
    const double value = static_cast<double>(bytes) / static_cast<double>(gib ? kGiB : kMiB);
    char buf[32];
    if (value == static_cast<double>(static_cast<int64_t>(value)))
        std::snprintf(buf, sizeof buf, "%lld %s", static_cast<long long>(value), gib ? "GiB" : "MiB");
    else
        std::snprintf(buf, sizeof buf, "%.1f %s", value, gib ? "GiB" : "MiB");
    return buf;
}

}  // namespace tarvo::vandel
