#include "tarvo/pipeline/ronnel/render.hpp"

#include <gtest/gtest.h>

#include "support/silver_warehouse.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"

namespace {

using namespace tarvo;
namespace fs = std::filesystem;

core::Document scoreboard(size_t n_rows) {
    core::Table t;
    std::vector<std::optional<std::string>> muta, unvan, seg;
    std::vector<std::optional<int64_t>> risk, score, sube;
    for (size_t i = 0; i < n_rows; ++i) {
        muta.push_back(std::to_string(i));
        unvan.push_back(i == 0 ? "<script>alert('x')</script> & Co" : "Firma " + std::to_string(i));
        seg.push_back(i % 2 ? "KOBI" : "KUR-TIC");
        risk.push_back(static_cast<int64_t>(1000 - i));
        score.push_back(static_cast<int64_t>(i * 90 % 1000));
        sube.push_back(12);
    }
    t.set("muta", core::Column::of_str(muta));
    t.set("unvan", core::Column::of_str(unvan));
    t.set("segment", core::Column::of_str(seg));
    t.set("sube_kodu", core::Column::of_i64(sube));
    t.set("ovik2402", core::Column::of_i64(score));
    t.set("son_risk", core::Column::of_i64(risk));
    core::Dict meta;
    meta.set("son_donem", "2402");
    core::Dict doc;
    doc.set("meta", core::Document(std::move(meta)));
    doc.set("rows", core::Document::rows(std::move(t)));
    return core::Document(std::move(doc));
}

TEST(RenderHtml, EscapesTextAndShowsFilteredRowsWithNames) {
    fixtures::TempDir dir("render");
    core::write_file_atomic(dir.path() / "ref.csv",
                            "sube_kodu,sube_adi,bolge_kodu,bolge_adi\r\n12,\"Kadıköy, Merkez\",3,İstanbul\r\n");
    ronnel::RenderOptions options;
    options.row_filter = [](const core::RowView& row) { return row.get("segment") == core::Value("KUR-TIC"); };
    ronnel::render_html(scoreboard(4), dir.path() / "p.html", dir.path() / "ref.csv", options);
    const std::string page = core::read_file(dir.path() / "p.html");
    EXPECT_EQ(page.find("<script>alert"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; Co"), std::string::npos);
    EXPECT_NE(page.find("Gösterilen firma: 2"), std::string::npos);
    EXPECT_EQ(page.find("Firma 1<"), std::string::npos);  // a KOBI row
    EXPECT_NE(page.find("Kadıköy, Merkez"), std::string::npos);
    EXPECT_NE(page.find("class=\"band-0-325\">0-325<"), std::string::npos);  // scores 0 and 180
}

TEST(RenderHtml, ExtraDataCannotCloseTheScriptElement) {
    core::Dict extra;
    extra.set("page_mode", "admin");
    extra.set("note", "</script><img src=x onerror=alert(1)>\xE2\x80\xA8");
    const std::string json = ronnel::script_safe_json(core::Document(std::move(extra)));
    EXPECT_EQ(json.find('<'), std::string::npos);
    EXPECT_EQ(json.find("\xE2\x80\xA8"), std::string::npos);
    EXPECT_NE(json.find("\\u003c/script\\u003e"), std::string::npos);
}

TEST(RenderHtml, SizeLimitKeepsTheFirstRowsAndSaysHowManyWereLeftOut) {
    fixtures::TempDir dir("render_limit");
    ronnel::RenderOptions options;
    options.max_size_mb = 0.02;  // about 20 KB
    ronnel::render_html(scoreboard(2000), dir.path() / "p.html", dir.path() / "missing.csv", options);
    const std::string page = core::read_file(dir.path() / "p.html");
    EXPECT_LE(page.size(), static_cast<size_t>(0.02 * 1024 * 1024));
    const auto shown_at = page.find("Gösterilen firma: ");
    ASSERT_NE(shown_at, std::string::npos);
    const int shown = std::stoi(page.substr(shown_at + std::string("Gösterilen firma: ").size()));
    EXPECT_GT(shown, 10);
    EXPECT_NE(page.find("Boyut sınırı nedeniyle " + std::to_string(2000 - shown) + " firma gösterilmedi."),
              std::string::npos);
    EXPECT_NE(page.find("<td>Firma 1</td>"), std::string::npos);  // the first rows are the ones kept
}

TEST(RenderHtml, RejectsAScoreboardThatIsNotAMapping) {
    fixtures::TempDir dir("render_type");
    EXPECT_THROW(ronnel::render_html(core::Document::empty_list(), dir.path() / "p.html", dir.path() / "r.csv"),
                 core::TypeError);
    EXPECT_FALSE(fs::exists(dir.path() / "p.html"));
}

}  // namespace
