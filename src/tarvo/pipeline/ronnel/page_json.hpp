// JSON text for the data element of a dashboard page.
//
// The page reads its data with JSON.parse from a <script type="application/json"> element, so the
// text must be strict JSON (a NaN or an infinity becomes null) and must not end the element: "<",
// ">" and "&" are written as \u003c, \u003e, \u0026 and the line separators U+2028 / U+2029 as
// escapes, so no value (a firm named "</script><script>...") can leave the element.
#pragma once

#include <string>
#include <string_view>

#include "tarvo/core/column.hpp"
#include "tarvo/core/document.hpp"

namespace tarvo::ronnel {

// Appends JSON text made safe inside a <script> element.
void append_script_safe(std::string& out, std::string_view json);
// Whether the JSON text is safe inside a <script> element as it stands (append_script_safe
// would copy it unchanged).
bool is_script_safe(std::string_view json);

// Appends a number as strict JSON: NaN and infinities as null.
void append_json_number(std::string& out, double x);

// Appends one cell as script-safe JSON: null, true/false, a number (NaN and infinities as
// null), or a quoted text.
void append_json_cell(std::string& out, const core::Column& column, size_t row);
// The same for a value.
void append_json_value(std::string& out, const core::Value& value);

// Appends a quoted, script-safe JSON text.
void append_json_text(std::string& out, std::string_view text);

// The document as compact, script-safe JSON with every NaN and infinity written as null.
std::string script_safe_json(const core::Document& doc);
// The same text, appended.
void append_script_safe_json(std::string& out, const core::Document& doc);

}  // namespace tarvo::ronnel
