// The HTML renderer: one self-contained, interactive dashboard page per call.
//
// render_html(scoreboard, html_path, ref_csv_path, options) writes `html_path` (atomically): the
// page code and libraries (embedded at build time, see page_frame.hpp) and the data as columnar
// JSON (see firm_columns.hpp). The page opens from disk with no network at view time.
//
// Rows: those that pass `row_filter` (all rows without one), highest "son_risk" first. Page kind:
// the admin page when `extra_data` carries "page_mode" "admin", the manager page when a row filter
// is given, else the full page; the manager and admin pages say how many firms the filter kept.
// Besides the rows the page holds the periods, the flow matrix and the band snapshot; the admin
// page also the admin view (admin_view.hpp).
//
// Size: the whole page, code and libraries included, stays within `max_size_mb` megabytes (MiB).
// The admin view may take at most half of the room left beside the code (its largest parts are
// left out first, with a note), so admin data never empties the firm table; the rows fill the
// rest, and when they do not all fit the lowest-risk rows are left out and the page says
// "N firmadan M tanesi gösteriliyor".
//
// TypeError when `scoreboard` is not a mapping; nothing is written then.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>

#include "tarvo/core/document.hpp"
#include "tarvo/pipeline/ronnel/admin_view.hpp"
#include "tarvo/pipeline/ronnel/firm_columns.hpp"

namespace tarvo::ronnel {

using RowFilter = std::function<bool(const core::RowView&)>;

struct RenderOptions {
    RowFilter row_filter;                     // empty: every row
    double max_size_mb = 12.5;
    const core::Document* extra_data = nullptr;  // admin extra data, or none
    // Where the page leaves its firm columns for a later page of the same scoreboard (none: not
    // kept). A later page with the same firms in the same order (the admin page after the manager
    // page) continues them instead of making them again; any other page makes its own.
    std::optional<FirmColumnsBuilder>* kept_firm_columns = nullptr;
    // The admin page's admin view, made beforehand by page_admin_view with the same data and size
    // (none: made here).
    const AdminView* admin_view = nullptr;
};

// The admin view an admin page of `max_size_mb` shows for `extra_data`, made apart from the page
// so it can be made beside another one.
AdminView page_admin_view(const core::Document& extra_data, const core::Document& scoreboard, double max_size_mb);

void render_html(const core::Document& scoreboard, const std::filesystem::path& html_path,
                 const std::filesystem::path& ref_csv_path, const RenderOptions& options = {});

}  // namespace tarvo::ronnel
