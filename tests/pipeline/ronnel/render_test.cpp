#include "tarvo/pipeline/ronnel/render.hpp"

#include <cmath>
#include <limits>
#include <optional>
#include <sstream>

#include <gtest/gtest.h>

#include "support/silver_warehouse.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/core/json.hpp"
#include "tarvo/pipeline/ronnel/admin_view.hpp"
#include "tarvo/pipeline/ronnel/page_frame.hpp"
#include "tarvo/pipeline/ronnel/page_json.hpp"

namespace {

using namespace tarvo;
namespace fs = std::filesystem;

constexpr double kMiB = 1024.0 * 1024.0;

// `n_rows` firms over the periods 2401 and 2402; firm i has latest risk 1000 - i unless `risks`
// gives them, and name "Firma i" (firm 0 carries markup in its name).
core::Document scoreboard(size_t n_rows, std::vector<int64_t> risks = {}) {
    core::Table t;
    std::vector<std::optional<std::string>> muta, unvan, seg;
    std::vector<std::optional<int64_t>> risk, score, sube;
    std::vector<std::optional<double>> r2402;
    for (size_t i = 0; i < n_rows; ++i) {
        muta.push_back(std::to_string(i));
        unvan.push_back(i == 0 ? "<script>alert('x')</script> & Co" : "Firma " + std::to_string(i));
        seg.push_back(i % 2 ? "KOBI" : "KUR-TIC");
        risk.push_back(risks.empty() ? static_cast<int64_t>(1000 - i) : risks[i]);
        score.push_back(static_cast<int64_t>(i * 90 % 1000));
        sube.push_back(12);
        r2402.push_back(1234.5 + static_cast<double>(i));
    }
    t.set("muta", core::Column::of_str(muta));
    t.set("unvan", core::Column::of_str(unvan));
    t.set("segment", core::Column::of_str(seg));
    t.set("sube_kodu", core::Column::of_i64(sube));
    t.set("ovik2402", core::Column::of_i64(score));
    t.set("r2402", core::Column::of_f64(r2402));
    t.set("son_risk", core::Column::of_i64(risk));
    core::Dict meta;
    meta.set("donemler", core::Document(core::List{core::Document("2401"), core::Document("2402")}));
    meta.set("son_donem", "2402");
    core::Dict doc;
    doc.set("meta", core::Document(std::move(meta)));
    doc.set("rows", core::Document::rows(std::move(t)));
    return core::Document(std::move(doc));
}

// The page's data element.
std::string page_data(const std::string& page) {
    const std::string open = "<script type=\"application/json\" id=\"tarvo-data\">";
    const size_t from = page.find(open);
    EXPECT_NE(from, std::string::npos);
    const size_t begin = from + open.size();
    return page.substr(begin, page.find("</script>", begin) - begin);
}

// A size limit leaving `room` bytes beside the page's code and libraries.
double limit_with_room(size_t room) {
    return static_cast<double>(ronnel::page_frame("x").before_data.size() +
                               ronnel::page_frame("x").after_data.size() + room) / kMiB;
}

TEST(RenderHtml, EscapesTextAndHoldsFilteredRowsWithNames) {
    fixtures::TempDir dir("render");
    core::write_file_atomic(dir.path() / "ref.csv",
                            "sube_kodu,sube_adi,bolge_kodu,bolge_adi\r\n12,\"Kadıköy, Merkez\",3,İstanbul\r\n");
    ronnel::RenderOptions options;
    options.row_filter = [](const core::RowView& row) { return row.get("segment") == core::Value("KUR-TIC"); };
    ronnel::render_html(scoreboard(4), dir.path() / "p.html", dir.path() / "ref.csv", options);
    const std::string page = core::read_file(dir.path() / "p.html");
    const std::string data = page_data(page);
    EXPECT_EQ(page.find("<script>alert"), std::string::npos);
    EXPECT_EQ(data.find('<'), std::string::npos);
    EXPECT_NE(data.find("\\u003cscript\\u003ealert('x')\\u003c/script\\u003e \\u0026 Co"), std::string::npos);
    EXPECT_NE(data.find("\"mode\":\"yonetici\""), std::string::npos);
    EXPECT_NE(data.find("\"n_rows\":4,\"n_passed\":2,\"n_shown\":2"), std::string::npos);
    EXPECT_NE(data.find("\"4 firmadan 2 tanesi: yönetici filtresi\""), std::string::npos);
    EXPECT_NE(data.find("\"muta\":[\"0\",\"2\"]"), std::string::npos);  // the KOBI rows 1 and 3 are left out
    EXPECT_NE(data.find("\"sube\":[\"Kadıköy, Merkez\",\"Kadıköy, Merkez\"]"), std::string::npos);
    EXPECT_NE(data.find("\"bolge\":[\"İstanbul\",\"İstanbul\"]"), std::string::npos);
    EXPECT_NE(data.find("\"bant\":[\"--\",\"00\"]"), std::string::npos);  // no 2401 scores; 0 and 180
    EXPECT_NE(data.find("\"risk\":[[null,null],[1234,1236]]"), std::string::npos);  // whole lira, halves to even
    EXPECT_NE(page.find("<title>OVIK Erken Uyarı Skorbordu — Yönetici</title>"), std::string::npos);
    EXPECT_NE(page.find("default-src 'none'"), std::string::npos);
}

TEST(RenderHtml, DataCannotCloseTheScriptElementAndHasNoNaN) {
    core::Dict extra;
    extra.set("page_mode", "admin");
    extra.set("note", "</script><img src=x onerror=alert(1)>\xE2\x80\xA8");
    extra.set("mean", std::numeric_limits<double>::quiet_NaN());
    extra.set("list", core::Document(core::List{core::Document(std::numeric_limits<double>::infinity()),
                                                core::Document(0.5)}));
    const std::string json = ronnel::script_safe_json(core::Document(std::move(extra)));
    EXPECT_EQ(json.find('<'), std::string::npos);
    EXPECT_EQ(json.find("\xE2\x80\xA8"), std::string::npos);
    EXPECT_NE(json.find("\\u003c/script\\u003e"), std::string::npos);
    EXPECT_NE(json.find("\"mean\":null,\"list\":[null,0.5]"), std::string::npos);
}

// Only '<', '>', '&', U+2028 and U+2029 are escaped; every other byte, other characters with
// the same lead byte and a lead byte cut off at the end included, is copied as it is.
TEST(RenderHtml, ScriptSafeCopyEscapesExactlyTheCharactersThatCouldEndTheScript) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"plain {\"a\":[1,2]}", "plain {\"a\":[1,2]}"},
        {"<", "\\u003c"},
        {"a</script>b", "a\\u003c/script\\u003eb"},
        {"&&", "\\u0026\\u0026"},
        {"x\xE2\x80\xA8y\xE2\x80\xA9", "x\\u2028y\\u2029"},
        {"\xE2\x80\x94 \xE2\x82\xBA", "\xE2\x80\x94 \xE2\x82\xBA"},  // an em dash and the lira sign stay
        {"end \xE2\x80", "end \xE2\x80"},
        {"\xE2", "\xE2"},
        {"Kad\xC4\xB1k\xC3\xB6y <Merkez>", "Kad\xC4\xB1k\xC3\xB6y \\u003cMerkez\\u003e"},
    };
    for (const auto& [json, expected] : cases) {
        std::string out = "prefix:";
        ronnel::append_script_safe(out, json);
        EXPECT_EQ(out, "prefix:" + expected) << json;
        EXPECT_EQ(ronnel::is_script_safe(json), expected == json) << json;
    }
}

// The admin view's parts are left out only when the whole view would pass its budget: a budget of
// exactly the view's size keeps every part. A part that arrives as JSON text is escaped when it
// needs it and taken as it stands when it does not.
TEST(AdminView, PartsAreLeftOutOnlyWhenTheViewPassesItsBudget) {
    for (const std::string diag : {R"({"7":{"2402":{"aciklama":"a <b> & c"}}})", R"({"7":{"2402":{"aciklama":"a b"}}})"}) {
        core::Dict extra;
        extra.set("backtest_summary", core::Document(core::Dict{}));
        extra.set("ml_predictions", core::Document::empty_list());
        extra.set("diag_index_full_json", diag);
        const core::Document extra_doc(std::move(extra));
        const core::Document board(core::Dict{});
        const ronnel::AdminView whole = ronnel::build_admin_view(extra_doc, board, 1 << 20);
        std::string safe_diag;
        ronnel::append_script_safe(safe_diag, diag);
        EXPECT_EQ(whole.json, R"({"backtest_summary":{},"backtest_firma":null,"ml_predictions":[],"diag_index_full":)" +
                                  safe_diag + R"(,"ml_model":null})");
        EXPECT_TRUE(whole.notes.empty());
        const ronnel::AdminView at_budget = ronnel::build_admin_view(extra_doc, board, whole.json.size());
        EXPECT_EQ(at_budget.json, whole.json);
        EXPECT_TRUE(at_budget.notes.empty());
        const ronnel::AdminView over = ronnel::build_admin_view(extra_doc, board, whole.json.size() - 1);
        EXPECT_EQ(over.json, R"({"backtest_summary":{},"backtest_firma":null,"ml_predictions":[],"diag_index_full":null,"ml_model":null})");
        EXPECT_EQ(over.notes, (std::vector<std::string>{
                                  "Tanı bulguları (0,0 MB) sayfa boyut sınırına sığmadığı için bu sayfada gösterilmiyor."}));
    }
}

TEST(RenderHtml, SizeLimitCutsTheLowestRisksFirstAndSaysSo) {
    fixtures::TempDir dir("render_limit");
    // Risks out of order: the rows kept must be the highest risks, not the first rows.
    std::vector<int64_t> risks;
    for (int64_t i = 0; i < 2000; ++i) risks.push_back((i * 7919) % 2000);
    ronnel::RenderOptions options;
    options.max_size_mb = limit_with_room(40000);
    ronnel::render_html(scoreboard(2000, risks), dir.path() / "p.html", dir.path() / "missing.csv", options);
    const std::string page = core::read_file(dir.path() / "p.html");
    EXPECT_LE(page.size(), static_cast<size_t>(options.max_size_mb * kMiB));
    const std::string data = page_data(page);
    const auto at = data.find("\"n_shown\":");
    ASSERT_NE(at, std::string::npos);
    const int shown = std::stoi(data.substr(at + 10));
    EXPECT_GT(shown, 100);
    EXPECT_LT(shown, 2000);
    EXPECT_NE(data.find("\"2.000 firmadan " + std::to_string(shown) + " tanesi gösteriliyor: sayfa boyut sınırı"),
              std::string::npos);
    const auto risk_at = data.find("\"son_risk\":[");
    ASSERT_NE(risk_at, std::string::npos);
    EXPECT_EQ(data.compare(risk_at, 22, "\"son_risk\":[1999,1998,"), 0);
    EXPECT_NE(data.find("," + std::to_string(2000 - shown) + "]"), std::string::npos);  // the smallest kept
}

// Firm columns fitted to one budget after another are the columns fitted to the last budget alone,
// whether the builder continues (a larger budget) or starts over (a smaller one).
TEST(FirmColumnsBuilder, FittingAfterAnotherBudgetGivesTheColumnsOfThatBudgetAlone) {
    const core::Document sb = scoreboard(500);
    const core::Table& rows = sb.get("rows")->as_rows();
    std::vector<size_t> order;
    for (size_t r = 0; r < rows.nrows(); r += 2) order.push_back(r);
    const std::vector<std::string> periods = {"2401", "2402"};
    const auto columns_text = [](const ronnel::FirmColumns& c) {
        std::ostringstream os;
        c.write_json(os);
        return std::to_string(c.kept) + ":" + os.str();
    };
    const auto alone = [&](size_t budget) {
        ronnel::FirmColumnsBuilder b(rows, order, periods, {}, nullptr);
        return columns_text(b.fit(budget));
    };
    struct Case {
        const char* name;
        std::vector<size_t> budgets;
    };
    const Case cases[] = {
        {"larger", {4000, 9000}},
        {"smaller", {9000, 4000}},
        {"the same twice", {6000, 6000}},
        {"everything after a cut", {4000, 10000000}},
        {"a cut after everything", {10000000, 4000}},
        {"none, then some", {0, 5000}},
        {"up and down", {3000, 8000, 5000, 12000}},
    };
    for (const Case& c : cases) {
        ronnel::FirmColumnsBuilder builder(rows, order, periods, {}, nullptr);
        for (size_t budget : c.budgets) EXPECT_EQ(columns_text(builder.fit(budget)), alone(budget)) << c.name;
    }
    // The budgets cut the rows in different places, so continuing had rows to add.
    EXPECT_LT(std::stoi(alone(4000)), std::stoi(alone(9000)));
    EXPECT_EQ(std::stoi(alone(10000000)), 250);
}

// The admin page continues the manager page's firm columns; a page with other firms, or other
// rows, makes its own. Every page is byte for byte the page made on its own.
TEST(RenderHtml, PagesSharingKeptFirmColumnsAreThePagesMadeAlone) {
    fixtures::TempDir dir("render_kept");
    const core::Document sb = scoreboard(2000);
    const core::Document other_rows = scoreboard(2000);
    const ronnel::RowFilter kobi = [](const core::RowView& row) { return row.get("segment") == core::Value("KOBI"); };
    const ronnel::RowFilter kur = [](const core::RowView& row) { return row.get("segment") == core::Value("KUR-TIC"); };
    struct Page {
        const core::Document* scoreboard;
        const ronnel::RowFilter* filter;
        size_t room;
    };
    struct Case {
        const char* name;
        std::vector<Page> pages;
    };
    const Case cases[] = {
        {"same firms, more room", {{&sb, &kobi, 40000}, {&sb, &kobi, 90000}}},
        {"same firms, less room", {{&sb, &kobi, 90000}, {&sb, &kobi, 40000}}},
        {"other firms", {{&sb, &kobi, 40000}, {&sb, &kur, 90000}}},
        {"other rows", {{&sb, &kobi, 40000}, {&other_rows, &kobi, 90000}}},
        {"every firm, then some", {{&sb, nullptr, 40000}, {&sb, &kobi, 90000}, {&sb, &kobi, 120000}}},
    };
    for (const Case& c : cases) {
        std::optional<ronnel::FirmColumnsBuilder> kept;
        for (size_t k = 0; k < c.pages.size(); ++k) {
            const Page& page = c.pages[k];
            ronnel::RenderOptions options;
            if (page.filter) options.row_filter = *page.filter;
            options.max_size_mb = limit_with_room(page.room);
            ronnel::render_html(*page.scoreboard, dir.path() / "alone.html", dir.path() / "missing.csv", options);
            options.kept_firm_columns = &kept;
            ronnel::render_html(*page.scoreboard, dir.path() / "kept.html", dir.path() / "missing.csv", options);
            EXPECT_EQ(core::read_file(dir.path() / "kept.html"), core::read_file(dir.path() / "alone.html"))
                << c.name << ", page " << k;
            EXPECT_TRUE(kept.has_value());
        }
    }
}

TEST(RenderHtml, LargeAdminDataIsTrimmedWithANoteAndNeverEmptiesTheFirmTable) {
    fixtures::TempDir dir("render_admin");
    core::Dict full;  // about 300 KB of findings
    for (int i = 0; i < 3000; ++i) {
        core::Dict period;
        period.set("bulgular", core::Document(core::List{core::Document(std::string(80, 'x'))}));
        period.set("yeni_gruplar", core::Document::empty_list());
        core::Dict firm;
        firm.set("2402", core::Document(std::move(period)));
        full.set(std::to_string(i), core::Document(std::move(firm)));
    }
    core::Dict extra;
    extra.set("backtest_summary", core::Document());
    extra.set("backtest_firma", core::Document());
    extra.set("ml_predictions", core::Document::empty_list());
    extra.set("diag_index_full_json", core::to_json(core::Document(std::move(full)), core::JsonStyle::compact));
    extra.set("page_mode", "admin");
    const core::Document extra_doc(std::move(extra));
    ronnel::RenderOptions options;
    options.max_size_mb = limit_with_room(100000);
    options.extra_data = &extra_doc;
    const core::Document sb = scoreboard(50);
    ronnel::render_html(sb, dir.path() / "p.html", dir.path() / "missing.csv", options);
    const std::string page = core::read_file(dir.path() / "p.html");
    // The view made apart and handed to the page gives the same page.
    const ronnel::AdminView view = ronnel::page_admin_view(extra_doc, sb, options.max_size_mb);
    options.admin_view = &view;
    ronnel::render_html(sb, dir.path() / "given.html", dir.path() / "missing.csv", options);
    EXPECT_EQ(core::read_file(dir.path() / "given.html"), page);
    EXPECT_LE(page.size(), static_cast<size_t>(options.max_size_mb * kMiB));
    const std::string data = page_data(page);
    EXPECT_NE(data.find("\"n_shown\":50"), std::string::npos);
    EXPECT_NE(data.find("\"diag_index_full\":null"), std::string::npos);
    EXPECT_NE(data.find("Tanı bulguları (0,4 MB) sayfa boyut sınırına sığmadığı için bu sayfada gösterilmiyor."),
              std::string::npos);
    EXPECT_NE(page.find("<title>OVIK Erken Uyarı Skorbordu — Admin</title>"), std::string::npos);
}

// A listed firm is named from the first row whose key has its text, whether the key is stored as
// a text or as a number; rows without a key name nobody.
TEST(AdminView, ListedFirmsAreNamedFromTheFirstRowWithTheirKey) {
    core::Column muta(core::mixed), unvan(core::str);
    muta.push_null();
    muta.push_int(5);
    muta.push_text("5");
    muta.push_text("x");
    for (const char* name : {"nobody", "first five", "second five", "ex"}) unvan.push_text(name);
    core::Table rows;
    rows.set("muta", std::move(muta));
    rows.set("unvan", std::move(unvan));
    core::Dict board;
    board.set("rows", core::Document::rows(std::move(rows)));
    core::Dict categories;
    categories.set("TP", core::Document(core::List{core::Document("5"), core::Document(int64_t{5}), core::Document("x"),
                                                   core::Document("none"), core::Document("None")}));
    core::Dict lists;
    lists.set("eus", core::Document(std::move(categories)));
    core::Dict extra;
    extra.set("backtest_firma", core::Document(std::move(lists)));
    const ronnel::AdminView view = ronnel::build_admin_view(core::Document(std::move(extra)), core::Document(std::move(board)), 1 << 20);
    EXPECT_EQ(view.json, R"({"backtest_summary":null,"backtest_firma":{"eus":{"TP":[["5","first five"],["5","first five"],)"
                         R"(["x","ex"],["none",null],["None",null]]}},"ml_predictions":null,"diag_index_full":null,"ml_model":null})");
}

TEST(RenderHtml, AdminBacktestListsCarryEachFirmsNameOrNull) {
    fixtures::TempDir dir("render_admin_lists");
    core::Dict eus;
    eus.set("TP", core::Document(core::List{core::Document("1"), core::Document(int64_t{0}), core::Document("77")}));
    eus.set("FN", core::Document("not a list"));
    core::Dict lists;
    lists.set("eus", core::Document(std::move(eus)));
    lists.set("yis", core::Document("not a mapping"));
    core::Dict extra;
    extra.set("backtest_summary", core::Document(core::Dict{}));
    extra.set("backtest_firma", core::Document(std::move(lists)));
    extra.set("ml_predictions", core::Document(core::List{core::Document(std::nan(""))}));
    extra.set("page_mode", "admin");
    const core::Document extra_doc(std::move(extra));
    ronnel::RenderOptions options;
    options.extra_data = &extra_doc;
    ronnel::render_html(scoreboard(2), dir.path() / "p.html", dir.path() / "missing.csv", options);
    const std::string data = page_data(core::read_file(dir.path() / "p.html"));
    EXPECT_NE(data.find("\"admin\":{\"backtest_summary\":{},\"backtest_firma\":{\"eus\":{\"TP\":[[\"1\",\"Firma 1\"],"
                        "[\"0\",\"\\u003cscript\\u003ealert('x')\\u003c/script\\u003e \\u0026 Co\"],[\"77\",null]],"
                        "\"FN\":[]},\"yis\":null},\"ml_predictions\":[null],\"diag_index_full\":null,\"ml_model\":null}"),
              std::string::npos);
}

TEST(RenderHtml, MlFieldsAppearOnlyWhenTheRowsCarryThem) {
    fixtures::TempDir dir("render_ml");
    core::Document with_ml = scoreboard(2);
    with_ml["rows"].as_rows().set("_ml_yi_prob", core::Column::of_f64({0.4567, std::nullopt}));
    with_ml["rows"].as_rows().set("_ml_neden", core::Column::of_str({"skor 3 dönemde +210", std::nullopt}));
    ronnel::render_html(with_ml, dir.path() / "ml.html", dir.path() / "missing.csv");
    ronnel::render_html(scoreboard(2), dir.path() / "plain.html", dir.path() / "missing.csv");
    const std::string ml = page_data(core::read_file(dir.path() / "ml.html"));
    EXPECT_NE(ml.find("\"ml_prob\":[0.4567,null],\"ml_neden\":[\"skor 3 dönemde +210\",null]"), std::string::npos);
    EXPECT_EQ(page_data(core::read_file(dir.path() / "plain.html")).find("ml_prob"), std::string::npos);
}

TEST(RenderHtml, RejectsAScoreboardThatIsNotAMapping) {
    fixtures::TempDir dir("render_type");
    EXPECT_THROW(ronnel::render_html(core::Document::empty_list(), dir.path() / "p.html", dir.path() / "r.csv"),
                 core::TypeError);
    EXPECT_FALSE(fs::exists(dir.path() / "p.html"));
}

}  // namespace
