// Safe reading of the literals that early-monitoring code cells carry: a single code ("EI1"),
// or a list literal written by the upstream exporter (['EI1', 'EI4']). Only list, text and
// number literals are understood; nothing is evaluated, looked up or called.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tarvo/core/document.hpp"

namespace tarvo::dalmer {

// Parses one literal:
//   list    [ elem, elem, ... ]  (a trailing comma is allowed; elements are literals)
//   text    '...' or "..."       (escapes \\ \' \" \n \r \t \0 \xHH \uHHHH \UHHHHHHHH; any other
//                                 backslash pair is kept as written)
//   number  [+-] digits [. digits] [e [+-] digits], also .5 and 5.; whole numbers without a
//           fraction or exponent become integers (a decimal integer may not start with 0
//           unless it is all zeros), others reals; integers beyond 64 bits become reals
// White space may surround every token. Anything else (a bare word such as EI1 or None, an
// unclosed bracket or quote, text after the literal, nesting deeper than 64 levels) throws
// core::ValueError "malformed node or string: <source>".
core::Document literal_eval(std::string_view source);

// The codes a parsed literal stands for, in order of first appearance: the elements of a list
// (nested lists flattened), a text trimmed of surrounding white space, a number by its text
// form. Empty texts and repeated codes are dropped.
std::vector<std::string> literal_codes(const core::Document& parsed);

}  // namespace tarvo::dalmer
