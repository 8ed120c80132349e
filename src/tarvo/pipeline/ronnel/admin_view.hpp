// The admin data as the admin page shows it.
//
// From the admin extra data mapping ("backtest_summary", "backtest_firma", "ml_predictions", and
// "diag_index_full_json": the full diagnostic index as JSON text, shown as "diag_index_full") and
// the scoreboard: the back-test firm lists get each firm's name ([id, name] pairs, name null when
// the firm has no row), and the scoreboard's "ml_model" summary is added when present. A part that
// is absent stays null.
//
// When the admin data's JSON would pass `budget` bytes, its largest parts are left out in this
// order, each with a note saying so: the full diagnostic index, then the back-test firm lists, then
// the ML list. So admin data never takes the room of the firm rows beyond its budget.
#pragma once

#include <string>
#include <vector>

#include "tarvo/core/document.hpp"

namespace tarvo::ronnel {

struct AdminView {
    std::string json;                 // script-safe JSON of the admin view
    std::vector<std::string> notes;   // one Turkish line per part left out
};

AdminView build_admin_view(const core::Document& extra, const core::Document& scoreboard,
                           size_t budget);

// "1,5 MB": a byte count in megabytes with one decimal and a decimal comma.
std::string megabytes_text(double bytes);

}  // namespace tarvo::ronnel
