// JSON writer for documents.
//
// Two option sets:
//   indented: 2 spaces per level, "," at line ends, keys followed by ": ";
//   compact:  no whitespace at all ("," and ":").
// Both: keys in insertion order, characters outside ASCII written as themselves, control
// characters escaped, floats in their text form, NaN / Infinity / -Infinity as bare tokens,
// no newline after the final bracket. A row table is written as a list of mappings.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

#include "tarvo/core/document.hpp"

namespace tarvo::core {

enum class JsonStyle { indented, compact };

// Large row tables are made into text by up to `threads` threads at once; the text is the same
// for any number of them.
void write_json(std::ostream& os, const Document& doc, JsonStyle style, size_t threads = 1);
std::string to_json(const Document& doc, JsonStyle style, size_t threads = 1);

// A JSON string literal (with quotes) for a UTF-8 text.
std::string json_quote(std::string_view s);
// The same literal appended to `out`.
void append_json_quoted(std::string& out, std::string_view s);

}  // namespace tarvo::core
