#include "tarvo/core/output_batch.hpp"

#include <stdexcept>

#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"

namespace tarvo::core {

namespace {
OutputBatch* g_current = nullptr;
}

OutputBatch::OutputBatch() {
    if (g_current) throw std::logic_error("an output batch is already open");
    g_current = this;
}

OutputBatch::~OutputBatch() {
    for (const Staged& s : staged_) {
        std::error_code ec;
        fs::remove(s.tmp, ec);
    }
    g_current = nullptr;
}

OutputBatch* OutputBatch::current() { return g_current; }

fs::path OutputBatch::current_path(const fs::path& target) const {
    for (const Staged& s : staged_)
        if (s.target == target) return s.tmp;
    return target;
}

void OutputBatch::stage(const fs::path& target, const fs::path& tmp) {
    for (Staged& s : staged_) {
        if (s.target != target) continue;
        if (s.tmp != tmp) {
            std::error_code ec;
            fs::rename(tmp, s.tmp, ec);
            if (ec) throw OSError("cannot write " + path_text(target) + ": " + ec.message());
        }
        return;
    }
    staged_.push_back({target, tmp, std::make_unique<RemoveOnSignal>(tmp)});
}

void OutputBatch::publish() {
    while (!staged_.empty()) {
        const Staged& s = staged_.front();
        std::error_code ec;
        fs::rename(s.tmp, s.target, ec);
        if (ec) throw OSError("cannot replace " + path_text(s.target) + ": " + ec.message());
        staged_.erase(staged_.begin());
    }
}

}  // namespace tarvo::core
