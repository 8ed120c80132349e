// Temporary files written beside their targets: their names, their removal when the process
// is interrupted (SIGINT, SIGTERM) and the removal of those a killed process left behind.
//
// A temporary of `<dir>/<name>` is `<dir>/<name>.tmp<pid>`, pid being the writing process, so
// a later run tells its own temporaries from those of a process that no longer exists.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace tarvo::core {

namespace fs = std::filesystem;

// `<target>.tmp<pid of this process>`.
fs::path temporary_path(const fs::path& target);

// While alive, `file` is removed if the process gets SIGINT or SIGTERM; the process then ends
// of that signal as it would have without the guard. The first guard installs the handlers.
// At most kMaxGuarded files are guarded at once (the rest only by the next run's sweep).
class RemoveOnSignal {
public:
    static constexpr int kMaxGuarded = 64;

    explicit RemoveOnSignal(const fs::path& file);
    ~RemoveOnSignal();
    RemoveOnSignal(const RemoveOnSignal&) = delete;
    RemoveOnSignal& operator=(const RemoveOnSignal&) = delete;

private:
    int slot_ = -1;
};

// Removes, in `dir`, every temporary `<name>.tmp<pid>` (and a DuckDB log or spill directory
// `<name>.tmp<pid>.wal`, `<name>.tmp<pid>.tmp` beside it) whose process no longer exists and
// whose `<name>` is accepted by `is_ours`. Returns the number of entries removed. Entries that
// cannot be removed are left (the sweep never ends a run).
int remove_stale_temporaries(const fs::path& dir, const std::function<bool(std::string_view name)>& is_ours);

}  // namespace tarvo::core
