// The HTML renderer: one self-contained dashboard page per call.
//
// render_html(scoreboard, html_path, ref_csv_path, options) writes `html_path` (atomically)
// showing the scoreboard rows that pass `row_filter` (all rows without one), in scoreboard order:
// firm, name, segment, branch and region (names from the branch reference CSV), latest risk,
// latest score and its band, and the trending reason. Every text is HTML-escaped; the
// administrator data (`extra_data`) is embedded as JSON inside a <script> element with "<", ">",
// "&" and the line separators escaped, so no value can end the element. When the page would
// exceed `max_size_mb` megabytes, only the first rows that fit are shown and the page says how
// many were left out. TypeError when `scoreboard` is not a mapping.
#pragma once

#include <filesystem>
#include <functional>

#include "tarvo/core/document.hpp"

namespace tarvo::ronnel {

using RowFilter = std::function<bool(const core::RowView&)>;

struct RenderOptions {
    RowFilter row_filter;                     // empty: every row
    double max_size_mb = 12.5;
    const core::Document* extra_data = nullptr;  // admin extra data, or none
};

void render_html(const core::Document& scoreboard, const std::filesystem::path& html_path,
                 const std::filesystem::path& ref_csv_path, const RenderOptions& options = {});

// Text with &, <, >, " and ' replaced by entities.
std::string html_escape(std::string_view text);

// JSON text made safe to embed inside a <script> element.
std::string script_safe_json(const core::Document& doc);

}  // namespace tarvo::ronnel
