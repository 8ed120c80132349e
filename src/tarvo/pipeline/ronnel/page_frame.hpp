// The HTML around a dashboard's data: Content-Security-Policy (no network request of any kind;
// only inline script and style), the grid library's style sheet and ours, the libraries' licence
// texts, the data element, the charting and grid libraries and our page code, all embedded into
// the program at build time from web/ and the pinned npm packages.
#pragma once

#include <string>
#include <string_view>

namespace tarvo::ronnel {

struct PageFrame {
    std::string before_data;  // ... <script type="application/json" id="tarvo-data">
    std::string after_data;   // </script> ... </html>
};

// The frame of a page with the given <title> text (HTML-escaped here).
PageFrame page_frame(std::string_view title);

// Text with &, <, >, " and ' replaced by entities.
std::string html_escape(std::string_view text);

}  // namespace tarvo::ronnel
