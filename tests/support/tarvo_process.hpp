// Runs the built `tarvo` program as a child process, as a user does: standard output read line
// by line through a pipe (so a test can kill the run when a given line appears), standard error
// collected whole.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tarvo/core/files.hpp"

namespace tarvo::testing {

struct Outcome {
    int status;       // exit status, or 128 + the signal that ended the process
    std::string out;  // standard output
    std::string err;  // standard error
    int pid;          // the process id it had
    bool ended_by(int signal) const { return status == 128 + signal; }
};

// The command line that starts build/tarvo: in a cross build, behind the emulator the tests run under
// (TARVO_TEST_EMULATOR, its words separated by spaces), which the kernel could not start it without.
inline std::vector<std::string> tarvo_command() {
    std::vector<std::string> words;
    const std::string_view emulator = TARVO_TEST_EMULATOR;
    for (size_t start = 0; start < emulator.size();) {
        const size_t end = std::min(emulator.find(' ', start), emulator.size());
        if (end > start) words.emplace_back(emulator.substr(start, end - start));
        start = end + 1;
    }
    words.push_back(std::string(TARVO_BINARY_DIR) + "/tarvo");
    return words;
}

// Runs build/tarvo with `args`. When `kill_when` accepts a line of standard output, the process
// is sent `signal` at once; the lines it wrote before it ended are still collected.
inline Outcome run_tarvo(const std::vector<std::string>& args,
                         const std::function<bool(std::string_view line)>& kill_when = {}, int signal = SIGKILL) {
    const core::TempDir scratch("tarvo-proc");
    const std::string err_file = (scratch / "stderr.txt").string();
    int out_pipe[2];
    if (::pipe(out_pipe) != 0) throw std::runtime_error("pipe failed");
    std::vector<std::string> command = tarvo_command();
    command.insert(command.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : command) argv.push_back(word.data());
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int err = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int in = ::open("/dev/null", O_RDONLY);
        ::dup2(in, 0);
        ::dup2(out_pipe[1], 1);
        ::dup2(err, 2);
        ::close(out_pipe[0]);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out_pipe[1]);

    Outcome outcome{0, "", "", static_cast<int>(pid)};
    bool sent = false;
    size_t line_start = 0;
    char buf[4096];
    for (ssize_t n; (n = ::read(out_pipe[0], buf, sizeof buf)) != 0;) {
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        outcome.out.append(buf, static_cast<size_t>(n));
        for (size_t nl; (nl = outcome.out.find('\n', line_start)) != std::string::npos; line_start = nl + 1) {
            if (!sent && kill_when &&
                kill_when(std::string_view(outcome.out).substr(line_start, nl - line_start))) {
                ::kill(pid, signal);
                sent = true;
            }
        }
    }
    ::close(out_pipe[0]);
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    outcome.err = core::read_file(err_file);
    return outcome;
}

}  // namespace tarvo::testing
