#include "tarvo/pipeline/ronnel/page_frame.hpp"

#include "tarvo/core/errors.hpp"
#include "tarvo/core/text.hpp"
#include "tarvo/embedded/tarvo_web_assets.hpp"

namespace tarvo::ronnel {

namespace {

// The embedded file whose path ends with `name`.
std::string_view asset(std::string_view name) {
    for (const auto& [path, text] : embedded::tarvo_web_assets)
        if (core::ends_with(path, name)) return text;
    throw core::KeyError(std::string("no embedded web asset ") + std::string(name));
}

const char* const kPageCode[] = {"web/format.js", "web/data.js",   "web/firms.js", "web/detail.js",
                                 "web/trends.js", "web/charts.js", "web/admin.js", "web/main.js"};

struct Licence {
    const char* title;
    const char* file;
};
const Licence kLicences[] = {
    {"Apache ECharts 6.1.0 — Apache License 2.0", "echarts/LICENSE"},
    {"Apache ECharts 6.1.0 — NOTICE", "echarts/NOTICE"},
    {"Apache ECharts 6.1.0 — d3 (BSD-3-Clause)", "echarts/licenses/LICENSE-d3"},
    {"Tabulator 6.5.3 — MIT License", "tabulator-tables/LICENSE"},
};

}  // namespace

std::string html_escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

PageFrame page_frame(std::string_view title) {
    PageFrame f;
    std::string& b = f.before_data;
    b += "<!DOCTYPE html>\n<html lang=\"tr\">\n<head>\n<meta charset=\"utf-8\">\n";
    b += "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
         "script-src 'unsafe-inline'; style-src 'unsafe-inline'; img-src data:\">\n";
    b += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    b += "<title>" + html_escape(title) + "</title>\n<style>\n";
    b += asset("tabulator-tables/dist/css/tabulator.min.css");
    b += "\n</style>\n<style>\n";
    b += asset("web/dashboard.css");
    b += "</style>\n</head>\n<body>\n<div id=\"app\"></div>\n";
    for (const Licence& l : kLicences) {
        b += "<script type=\"text/plain\" data-licence=\"" + html_escape(l.title) + "\">\n";
        b += asset(l.file);
        b += "</script>\n";
    }
    b += "<script type=\"application/json\" id=\"tarvo-data\">";

    std::string& a = f.after_data;
    a += "</script>\n<script>\n";
    a += asset("echarts/dist/echarts.min.js");
    a += "\n</script>\n<script>\n";
    a += asset("tabulator-tables/dist/js/tabulator.min.js");
    a += "\n</script>\n<script>\n";
    for (const char* file : kPageCode) a += asset(file);
    a += "</script>\n</body>\n</html>\n";
    return f;
}

}  // namespace tarvo::ronnel
