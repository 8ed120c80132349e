// Owners of the warehouse library's handles: each handle is destroyed exactly once, when its
// owner goes out of scope, on every path (an exception thrown while a chunk, an appender or a
// pending result is open included).
#pragma once

#include <duckdb.h>

namespace tarvo::vandel {

// Owns one handle of type T, released by Destroy(&handle) when not null.
template <class T, auto Destroy>
class Owned {
public:
    Owned() = default;
    explicit Owned(T handle) : h_(handle) {}
    ~Owned() { reset(); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& o) noexcept : h_(o.h_) { o.h_ = nullptr; }
    Owned& operator=(Owned&& o) noexcept {
        if (this != &o) {
            reset();
            h_ = o.h_;
            o.h_ = nullptr;
        }
        return *this;
    }

    T get() const { return h_; }
    // Where a creating call writes the new handle (the previous one is released first).
    T* out() {
        reset();
        return &h_;
    }
    explicit operator bool() const { return h_ != nullptr; }
    // Gives the handle up to the caller, who destroys it.
    T release() {
        T h = h_;
        h_ = nullptr;
        return h;
    }
    void reset() {
        if (h_) Destroy(&h_);
        h_ = nullptr;
    }

private:
    T h_ = nullptr;
};

using Config = Owned<duckdb_config, duckdb_destroy_config>;
using Prepared = Owned<duckdb_prepared_statement, duckdb_destroy_prepare>;
using PendingResult = Owned<duckdb_pending_result, duckdb_destroy_pending>;
using DataChunk = Owned<duckdb_data_chunk, duckdb_destroy_data_chunk>;
using LogicalType = Owned<duckdb_logical_type, duckdb_destroy_logical_type>;
using ValueHandle = Owned<duckdb_value, duckdb_destroy_value>;
using Appender = Owned<duckdb_appender, duckdb_appender_destroy>;
using ErrorData = Owned<duckdb_error_data, duckdb_destroy_error_data>;

// Owns a duckdb_result (a struct, not a pointer): destroyed once a call has filled it.
class Result {
public:
    Result() = default;
    ~Result() {
        if (filled_) duckdb_destroy_result(&r_);
    }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;

    // Where a running call writes the result; it is owned from then on.
    duckdb_result* out() {
        filled_ = true;
        return &r_;
    }
    duckdb_result& get() { return r_; }

private:
    duckdb_result r_{};
    bool filled_ = false;
};

}  // namespace tarvo::vandel
