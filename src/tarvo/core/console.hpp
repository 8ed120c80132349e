// The console: every progress line goes through one object so tests can capture it.
// Lines go to standard output; tracebacks and caught-error reports to standard error.
#pragma once

#include <cstdint>
#include <exception>
#include <iosfwd>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo::core {

class Console {
public:
    Console();
    // Writes `text` and a line feed to standard output (and flushes, so lines interleave
    // correctly with standard error).
    void line(std::string_view text);
    // Writes `text` and a line feed to standard error.
    void err_line(std::string_view text);
    // Reports a caught error on standard error: kind, message and the operation that failed.
    void traceback(const std::exception& e, std::string_view operation);

    // How many lines so far were tagged "[SKIP]" (a source passed over) and how many reported
    // a problem the run went past: lines tagged "[WARN]" and caught errors (traceback()).
    int64_t skipped() const { return skipped_; }
    int64_t warnings() const { return warnings_; }

    std::ostream& out() { return *out_; }
    std::ostream& err() { return *err_; }

private:
    friend class ConsoleCapture;
    std::ostream* out_;
    std::ostream* err_;
    int64_t skipped_ = 0;
    int64_t warnings_ = 0;
};

// The process-wide console.
Console& console();

// Captures the console's output while alive (tests use it to compare whole lines).
class ConsoleCapture {
public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    std::string out() const { return out_.str(); }
    std::string err() const { return err_.str(); }
    // Standard output split into lines (without their line feeds).
    std::vector<std::string> out_lines() const;
    std::vector<std::string> err_lines() const;

private:
    std::ostringstream out_, err_;
    std::ostream* saved_out_;
    std::ostream* saved_err_;
};

}  // namespace tarvo::core
