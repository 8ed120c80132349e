// The chunks of a streamed result, fetched on a thread of their own a few chunks ahead of the
// reader. The warehouse engine does a streamed statement's work on the thread that fetches its
// chunks, so a reader that fetches for itself leaves the engine waiting while it works on a
// chunk, and waits while the engine makes the next: at a million firms those waits were about a
// fifth of reading the features. With the fetching on a thread of its own the two run side by
// side.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "tarvo/vandel/handles.hpp"

namespace tarvo::vandel {

class ChunksAhead {
public:
    // Starts fetching `result`'s chunks when `ahead` is set (a run allowed more than one
    // thread); otherwise next() fetches each itself. `result` must outlive this object.
    ChunksAhead(duckdb_result& result, bool ahead);
    // Stops the fetching (after the chunk being fetched, if any) and drops unread chunks.
    ~ChunksAhead();
    ChunksAhead(const ChunksAhead&) = delete;
    ChunksAhead& operator=(const ChunksAhead&) = delete;

    // The next chunk in the result's order; an empty handle at the end of the result, where a
    // failure part-way is left on the result as a direct fetch leaves it.
    DataChunk next();

private:
    void fetch_all();

    static constexpr size_t kAhead = 4;  // chunks held at most, of a few hundred kB each
    duckdb_result& result_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<DataChunk> ready_;
    bool ended_ = false;
    bool stopping_ = false;
    std::thread fetcher_;  // last: started once everything it uses is set up
};

}  // namespace tarvo::vandel
