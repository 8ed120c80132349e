// Runs work(k) for k in [0, n) at once, work(0) on the calling thread and each other k on a
// thread of its own, and returns when all are done. The first exception thrown, by any of them,
// is rethrown here once every thread has ended. With n == 1 nothing is started.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace tarvo::core {

template <class Work>
void run_in_parallel(size_t n, Work&& work) {
    std::exception_ptr failure;
    std::mutex failure_mutex;
    const auto guarded = [&](size_t k) {
        try {
            work(k);
        } catch (...) {
            const std::lock_guard<std::mutex> lock(failure_mutex);
            if (!failure) failure = std::current_exception();
        }
    };
    std::vector<std::thread> others;
    others.reserve(n > 0 ? n - 1 : 0);
    try {
        for (size_t k = 1; k < n; ++k) others.emplace_back(guarded, k);
    } catch (...) {  // a thread could not be started: the ones that were still end first
        for (std::thread& t : others) t.join();
        throw;
    }
    if (n > 0) guarded(0);
    for (std::thread& t : others) t.join();
    if (failure) std::rethrow_exception(failure);
}

// The start of run k when [0, n) is cut into `runs` runs of nearly equal length (k == runs: n).
inline size_t run_start(size_t n, size_t k, size_t runs) {
    return static_cast<size_t>(static_cast<uint64_t>(n) * k / runs);  // no overflow on 32 bits
}

// Runs work(begin, end) for each of `runs` runs covering [0, n), each on its own thread (as above).
template <class Work>
void run_in_parallel_over(size_t n, size_t runs, Work&& work) {
    run_in_parallel(runs, [&](size_t k) { work(run_start(n, k, runs), run_start(n, k + 1, runs)); });
}

}  // namespace tarvo::core
