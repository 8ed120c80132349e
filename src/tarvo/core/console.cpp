#include "tarvo/core/console.hpp"

#include <iostream>

#include "tarvo/core/errors.hpp"

namespace tarvo::core {

Console::Console() : out_(&std::cout), err_(&std::cerr) {}

void Console::line(std::string_view text) {
    const size_t tag = text.find_first_not_of(" \n");
    if (tag != std::string_view::npos) {
        if (text.compare(tag, 6, "[SKIP]") == 0) ++skipped_;
        if (text.compare(tag, 6, "[WARN]") == 0) ++warnings_;
    }
    *out_ << text << '\n';
    out_->flush();
}

void Console::err_line(std::string_view text) {
    *err_ << text << '\n';
    err_->flush();
}

void Console::traceback(const std::exception& e, std::string_view operation) {
    ++warnings_;
    *err_ << "Traceback (most recent call last):\n  in " << operation << "\n"
          << error_kind(e) << ": " << e.what() << '\n';
    err_->flush();
}

Console& console() {
    static Console instance;
    return instance;
}

ConsoleCapture::ConsoleCapture() : saved_out_(console().out_), saved_err_(console().err_) {
    console().out_ = &out_;
    console().err_ = &err_;
}

ConsoleCapture::~ConsoleCapture() {
    console().out_ = saved_out_;
    console().err_ = saved_err_;
}

static std::vector<std::string> split_lines(const std::string& s) {
    std::vector<std::string> lines;
    std::string cur;
    for (char c : s) {
        if (c == '\n') {
            lines.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) lines.push_back(cur);
    return lines;
}

std::vector<std::string> ConsoleCapture::out_lines() const { return split_lines(out_.str()); }
std::vector<std::string> ConsoleCapture::err_lines() const { return split_lines(err_.str()); }

}  // namespace tarvo::core
