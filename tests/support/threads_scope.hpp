// The thread count of the engine settings set for a test's scope, restored at its end.
#pragma once

#include <cstdint>

#include "tarvo/vandel/engine_settings.hpp"

namespace tarvo::testing {

class ThreadsScope {
public:
    explicit ThreadsScope(int64_t threads) : saved_(vandel::engine_settings()) {
        vandel::set_engine_settings({saved_.memory_limit_bytes, threads});
    }
    ~ThreadsScope() { vandel::set_engine_settings(saved_); }
    ThreadsScope(const ThreadsScope&) = delete;
    ThreadsScope& operator=(const ThreadsScope&) = delete;

private:
    vandel::EngineSettings saved_;
};

}  // namespace tarvo::testing
