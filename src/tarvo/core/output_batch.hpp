// A set of output files published together: while a batch is open, every AtomicFile that
// commits is kept under its temporary name, and publish() renames them all into place at the
// end. A run that fails or is killed before then leaves every earlier output file as it was;
// its temporaries are removed when the batch is destroyed, on SIGINT/SIGTERM, or by the next
// run's sweep (temporaries.hpp).
#pragma once

#include <filesystem>
#include <memory>
#include <vector>

#include "tarvo/core/temporaries.hpp"

namespace tarvo::core {

class OutputBatch {
public:
    // Opens the batch; only one is open at a time (std::logic_error otherwise).
    OutputBatch();
    // Removes the files staged and not published.
    ~OutputBatch();
    OutputBatch(const OutputBatch&) = delete;
    OutputBatch& operator=(const OutputBatch&) = delete;

    // The file that holds `target`'s content as this run wrote it: its staged temporary when
    // one is staged, else `target` itself. For steps that read a file an earlier step wrote.
    fs::path current_path(const fs::path& target) const;

    // Renames every staged file into place, in the order staged (OSError when one fails).
    void publish();

    // The open batch, or nullptr.
    static OutputBatch* current();

private:
    friend class AtomicFile;
    // Takes over the finished temporary `tmp` of `target`; a target staged again keeps its
    // first position and the newer content.
    void stage(const fs::path& target, const fs::path& tmp);

    struct Staged {
        fs::path target, tmp;
        std::unique_ptr<RemoveOnSignal> guard;
    };
    std::vector<Staged> staged_;
};

}  // namespace tarvo::core
