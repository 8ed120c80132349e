#include "tarvo/core/temporaries.hpp"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>

namespace tarvo::core {

namespace {

// Guarded file names as C strings: the signal handler may only read them and call unlink().
std::array<std::atomic<char*>, RemoveOnSignal::kMaxGuarded> g_guarded{};

extern "C" void remove_guarded_and_die(int sig) {
    for (auto& slot : g_guarded)
        if (char* file = slot.load()) ::unlink(file);
    // SA_RESETHAND restored the default action; the signal is blocked until we return, then
    // ends the process as it would have without us.
    ::raise(sig);
}

void install_handlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = remove_guarded_and_die;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        for (int sig : {SIGINT, SIGTERM}) ::sigaction(sig, &action, nullptr);
    });
}

bool process_exists(long pid) {
    if (pid <= 0) return true;  // not a name we wrote: leave it
    if (pid == static_cast<long>(::getpid())) return true;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

struct TemporaryName {
    std::string_view target;
    long pid;
};

// "<target>.tmp<digits>".
std::optional<TemporaryName> parse_plain(std::string_view name) {
    size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
    if (digits == name.size() || name.size() - digits > 9) return std::nullopt;
    const std::string_view head = name.substr(0, digits);
    if (head.size() <= 4 || !head.ends_with(".tmp")) return std::nullopt;
    const long pid = std::strtol(std::string(name.substr(digits)).c_str(), nullptr, 10);
    return TemporaryName{head.substr(0, head.size() - 4), pid};
}

// A temporary, or the warehouse log or spill directory beside one.
std::optional<TemporaryName> parse_temporary(std::string_view name) {
    if (auto plain = parse_plain(name)) return plain;
    for (std::string_view tail : {".wal", ".tmp"})
        if (name.ends_with(tail))
            if (auto plain = parse_plain(name.substr(0, name.size() - tail.size()))) return plain;
    return std::nullopt;
}

}  // namespace

fs::path temporary_path(const fs::path& target) {
    fs::path tmp = target;
    tmp += ".tmp" + std::to_string(::getpid());
    return tmp;
}

RemoveOnSignal::RemoveOnSignal(const fs::path& file) {
    install_handlers();
    char* copy = ::strdup(file.c_str());
    if (!copy) return;
    for (int i = 0; i < kMaxGuarded; ++i) {
        char* expected = nullptr;
        if (g_guarded[static_cast<size_t>(i)].compare_exchange_strong(expected, copy)) {
            slot_ = i;
            return;
        }
    }
    std::free(copy);
}

RemoveOnSignal::~RemoveOnSignal() {
    if (slot_ >= 0) std::free(g_guarded[static_cast<size_t>(slot_)].exchange(nullptr));
}

int remove_stale_temporaries(const fs::path& dir, const std::function<bool(std::string_view name)>& is_ours) {
    int removed = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        const std::optional<TemporaryName> temp = parse_temporary(name);
        if (!temp || process_exists(temp->pid) || !is_ours(temp->target)) continue;
        std::error_code remove_ec;
        if (fs::remove_all(entry.path(), remove_ec) > 0 && !remove_ec) ++removed;
    }
    return removed;
}

}  // namespace tarvo::core
