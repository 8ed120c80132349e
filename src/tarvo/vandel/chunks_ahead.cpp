#include "tarvo/vandel/chunks_ahead.hpp"

namespace tarvo::vandel {

ChunksAhead::ChunksAhead(duckdb_result& result, bool ahead) : result_(result) {
    if (ahead) fetcher_ = std::thread([this] { fetch_all(); });
}

ChunksAhead::~ChunksAhead() {
    if (!fetcher_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    fetcher_.join();
}

DataChunk ChunksAhead::next() {
    if (!fetcher_.joinable()) return DataChunk(duckdb_fetch_chunk(result_));
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !ready_.empty() || ended_; });
    if (ready_.empty()) return DataChunk();
    DataChunk chunk = std::move(ready_.front());
    ready_.pop_front();
    lock.unlock();
    changed_.notify_all();
    return chunk;
}

void ChunksAhead::fetch_all() {
    while (true) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return ready_.size() < kAhead || stopping_; });
            if (stopping_) return;
        }
        DataChunk chunk(duckdb_fetch_chunk(result_));
        const bool end = !chunk;
        {
            std::lock_guard lock(mutex_);
            if (end)
                ended_ = true;
            else
                ready_.push_back(std::move(chunk));
        }
        changed_.notify_all();
        if (end) return;
    }
}

}  // namespace tarvo::vandel
