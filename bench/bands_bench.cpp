// Timing of the band flow matrix and band snapshot on a large scoreboard.
//
// Builds a seeded scoreboard row table (default 1,000,000 firms x 24 periods): per period a
// score column of whole numbers 0..1000 with about 3% YI markers (half the text "YI", half -1)
// and 5% nulls, and a risk column of doubles (some negative, 5% null); segments drawn from the
// five report segments' four names plus "kobi", "TICARI", "" and null. Then times
// _build_flow_matrix (6 periods) and _build_band_snapshot, a few repetitions each, and prints the
// peak resident set size (VmHWM).
//
// Usage: bands_bench [rows] [periods] [repetitions]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench_support.hpp"
#include "tarvo/core/document.hpp"
#include "tarvo/pipeline/marts/band_snapshot.hpp"
#include "tarvo/pipeline/marts/flow_matrix.hpp"

using namespace tarvo;

namespace {

core::Document make_board(size_t nrows, size_t nperiods, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::uniform_int_distribution<int> pct(0, 99);
    std::uniform_int_distribution<int64_t> score(0, 1000);
    std::uniform_real_distribution<double> amount(0.0, 5e7);
    const std::vector<const char*> segs = {"KUR-TIC", "KOBI", "KOBI", "MIKRO", "MIKRO",
                                           "MIKRO",   "ESKK", "kobi", "TICARI", ""};

    core::Table t;
    core::Column muta(core::str), segment(core::str);
    muta.reserve(nrows);
    segment.reserve(nrows);
    for (size_t i = 0; i < nrows; ++i) {
        muta.push_text(std::to_string(100000 + i));
        int s = pct(rng);
        if (s < 5)
            segment.push_null();
        else
            segment.push_text(segs[static_cast<size_t>(s) % segs.size()]);
    }
    t.set("muta", std::move(muta));
    t.set("segment", std::move(segment));

    core::List periods;
    for (size_t p = 0; p < nperiods; ++p) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%02d%02d", 22 + static_cast<int>(p / 12),
                      1 + static_cast<int>(p % 12));
        const std::string d = buf;
        periods.emplace_back(d);
        core::Column ovik(core::mixed), risk(core::f64);
        ovik.reserve(nrows);
        risk.reserve(nrows);
        for (size_t i = 0; i < nrows; ++i) {
            int k = pct(rng);
            if (k < 5)
                ovik.push_null();
            else if (k < 8)
                (k & 1) ? ovik.push_text("YI") : ovik.push_int(-1);
            else
                ovik.push_int(score(rng));
            int q = pct(rng);
            if (q < 5)
                risk.push_null();
            else
                risk.push_double(q < 12 ? -amount(rng) : amount(rng));
        }
        t.set("ovik" + d, std::move(ovik));
        t.set("r" + d, std::move(risk));
    }

    return tarvo::bench::scoreboard_of(std::move(t), std::move(periods));
}

double ms_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// Processor time of this process in ms: on a shared machine the wall clock also counts the time
// other processes held the processor.
double cpu_ms() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const size_t nrows = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
    const size_t nperiods = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 24;
    const int reps = argc > 3 ? std::atoi(argv[3]) : 3;

    auto t0 = std::chrono::steady_clock::now();
    core::Document board = make_board(nrows, nperiods, 20240601);
    std::printf("scoreboard: %zu rows x %zu periods, generated in %.0f ms, VmHWM%s\n", nrows,
                nperiods, ms_since(t0), tarvo::bench::peak_rss().c_str());

    std::vector<double> fm_ms, bs_ms, both_ms, cpu_both_ms;
    marts::FlowCounts counts{};
    int64_t snapshot_firms = 0;
    for (int r = 0; r < reps; ++r) {
        const double cpu0 = cpu_ms();
        auto a = std::chrono::steady_clock::now();
        core::Document fm = marts::_build_flow_matrix(board);
        double fm_t = ms_since(a);
        const double cpu1 = cpu_ms();
        auto b = std::chrono::steady_clock::now();
        core::Document bs = marts::_build_band_snapshot(board);
        double bs_t = ms_since(b);
        const double cpu2 = cpu_ms();
        fm_ms.push_back(fm_t);
        bs_ms.push_back(bs_t);
        both_ms.push_back(fm_t + bs_t);
        cpu_both_ms.push_back(cpu2 - cpu0);
        counts = marts::flow_counts(fm);
        snapshot_firms = 0;
        for (const auto& [label, e] : bs["ALL"].as_list().front()["bands"].as_dict())
            snapshot_firms += e["count"].as_int();
        std::printf("run %d: flow matrix %.1f ms, band snapshot %.1f ms, both %.1f ms "
                    "(processor time: %.1f + %.1f ms)\n",
                    r + 1, fm_t, bs_t, fm_t + bs_t, cpu1 - cpu0, cpu2 - cpu1);
    }
    auto best = [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); };
    std::printf("best: flow matrix %.1f ms, band snapshot %.1f ms, both %.1f ms "
                "(processor time of both: %.1f ms)\n",
                best(fm_ms), best(bs_ms), best(both_ms), best(cpu_both_ms));
    std::printf("flow matrix: %lld period pairs, %lld flows, %lld segments; "
                "first snapshot period: %lld banded firms\n",
                static_cast<long long>(counts.pairs), static_cast<long long>(counts.flows),
                static_cast<long long>(counts.segments), static_cast<long long>(snapshot_firms));
    std::printf("peak RSS (VmHWM):%s\n", tarvo::bench::peak_rss().c_str());
    return 0;
}
