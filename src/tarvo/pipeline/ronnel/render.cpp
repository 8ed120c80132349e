#include "tarvo/pipeline/ronnel/render.hpp"

#include <algorithm>
#include <string_view>

#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/core/value.hpp"
#include "tarvo/pipeline/ronnel/admin_view.hpp"
#include "tarvo/pipeline/ronnel/branch_names.hpp"
#include "tarvo/pipeline/ronnel/firm_columns.hpp"
#include "tarvo/pipeline/ronnel/page_frame.hpp"
#include "tarvo/pipeline/ronnel/page_json.hpp"

namespace tarvo::ronnel {

using core::Document;

namespace {

const char* const kTitle = "OVIK Erken Uyarı Skorbordu";
// Room for the page header's numbers and notes beyond their estimate.
constexpr size_t kSlack = 1024;

enum class PageMode { full, manager, admin };

PageMode page_mode(const RenderOptions& options) {
    const Document* mode = options.extra_data ? options.extra_data->get("page_mode") : nullptr;
    if (mode && mode->is_text() && mode->as_text() == "admin") return PageMode::admin;
    return options.row_filter ? PageMode::manager : PageMode::full;
}

std::string page_title(PageMode mode) {
    switch (mode) {
        case PageMode::manager: return std::string(kTitle) + " — Yönetici";
        case PageMode::admin: return std::string(kTitle) + " — Admin";
        default: return kTitle;
    }
}

// Rows that pass the filter, highest "son_risk" first (equal risks keep their order).
std::vector<size_t> page_order(const core::Table& rows, const RowFilter& filter) {
    std::vector<size_t> order;
    for (size_t r = 0; r < rows.nrows(); ++r)
        if (!filter || filter(core::RowView(rows, r))) order.push_back(r);
    const core::Column* risk = rows.find("son_risk");
    if (risk) {
        std::vector<double> key(rows.nrows(), 0.0);
        for (size_t r : order) key[r] = risk->number_at(r).value_or(0.0);
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return key[a] > key[b]; });
    }
    return order;
}

std::vector<std::string> period_texts(const Document* meta) {
    std::vector<std::string> out;
    const Document* periods = meta ? meta->get("donemler") : nullptr;
    if (periods && periods->is_list())
        for (const auto& p : periods->as_list()) out.push_back(p.is_text() ? p.as_text() : p.to_value().text_form());
    return out;
}

std::string meta_json(const std::vector<std::string>& periods, const Document* meta) {
    core::List list;
    for (const auto& p : periods) list.emplace_back(p);
    core::Dict m;
    m.set("donemler", Document(std::move(list)));
    const Document* son = meta ? meta->get("son_donem") : nullptr;
    m.set("son_donem", son && !son->is_null() ? Document(son->is_text() ? son->as_text() : son->to_value().text_form())
                                              : Document());
    return script_safe_json(Document(std::move(m)));
}

std::string part_json(const Document& scoreboard, std::string_view key) {
    const Document* d = scoreboard.get(key);
    return d ? script_safe_json(*d) : "null";
}

std::string page_json(PageMode mode, int64_t n_rows, int64_t n_passed, int64_t n_shown,
                      const std::vector<std::string>& notes) {
    core::Dict page;
    page.set("mode", mode == PageMode::admin ? "admin" : mode == PageMode::manager ? "yonetici" : "full");
    page.set("title", page_title(mode));
    page.set("n_rows", n_rows);
    page.set("n_passed", n_passed);
    page.set("n_shown", n_shown);
    core::List list;
    for (const auto& n : notes) list.emplace_back(n);
    page.set("notes", Document(std::move(list)));
    return script_safe_json(Document(std::move(page)));
}

std::string count_text(int64_t n) {
    std::string s = core::group_thousands(n);
    std::replace(s.begin(), s.end(), ',', '.');
    return s;
}

std::string limit_text(double mb) {
    std::string s = core::format_double(mb);
    if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
    std::replace(s.begin(), s.end(), '.', ',');
    return s + " MB";
}

// The bytes a page of `limit` bytes has for its data beside its code and libraries.
size_t room_beside(const PageFrame& frame, size_t limit) {
    const size_t frame_size = frame.before_data.size() + frame.after_data.size();
    return frame_size < limit ? limit - frame_size : 0;
}

size_t limit_bytes(double max_size_mb) { return static_cast<size_t>(max_size_mb * 1024 * 1024); }

}  // namespace

AdminView page_admin_view(const Document& extra_data, const Document& scoreboard, double max_size_mb) {
    // At most half of the data's room, so the firm table always has the rest.
    return build_admin_view(extra_data, scoreboard,
                            room_beside(page_frame(page_title(PageMode::admin)), limit_bytes(max_size_mb)) / 2);
}

void render_html(const Document& scoreboard, const std::filesystem::path& html_path,
                 const std::filesystem::path& ref_csv_path, const RenderOptions& options) {
    // `tarvo verify` reads this function's source for this kind test, spelled as it is here.
    if (!isinstance(scoreboard, core::dict))
        throw core::TypeError(std::string("scoreboard must be a dict, not ") +
                              core::doc_kind_name(scoreboard.kind()));

    const PageMode mode = page_mode(options);
    const size_t limit = limit_bytes(options.max_size_mb);
    core::RowsRef rows(scoreboard.get("rows"));
    const Document* meta = scoreboard.get("meta");
    const std::vector<std::string> periods = period_texts(meta);
    const std::vector<size_t> order = page_order(*rows, options.row_filter);
    const int64_t n_rows = static_cast<int64_t>(rows->nrows());
    const int64_t n_passed = static_cast<int64_t>(order.size());

    const PageFrame frame = page_frame(page_title(mode));
    const size_t data_room = room_beside(frame, limit);

    std::vector<std::string> notes;
    if (options.row_filter)
        notes.push_back(count_text(n_rows) + " firmadan " + count_text(n_passed) + " tanesi: yönetici filtresi");
    AdminView own_admin;  // the admin page's view when none was made beforehand
    const AdminView* admin = nullptr;
    if (mode == PageMode::admin) {
        admin = options.admin_view;
        if (!admin) admin = &(own_admin = page_admin_view(*options.extra_data, scoreboard, options.max_size_mb));
        notes.insert(notes.end(), admin->notes.begin(), admin->notes.end());
    }
    auto cut_note = [&](int64_t kept) {
        return count_text(n_passed) + " firmadan " + count_text(kept) + " tanesi gösteriliyor: sayfa boyut sınırı (" +
               limit_text(options.max_size_mb) + ") nedeniyle en düşük riskli firmalar çıkarıldı";
    };
    std::string rest = ",\"meta\":" + meta_json(periods, meta) + ",\"flow_matrix\":" +
                       part_json(scoreboard, "flow_matrix") + ",\"band_snapshot\":" +
                       part_json(scoreboard, "band_snapshot") + ",\"admin\":";
    rest += admin ? std::string_view(admin->json) : std::string_view("null");  // the view is not copied
    rest += '}';
    // The header at its largest: every count at full width and the cut note present.
    std::vector<std::string> widest = notes;
    widest.push_back(cut_note(n_passed));
    const size_t fixed = rest.size() + page_json(mode, n_rows, n_passed, n_passed, widest).size() + kSlack;
    const size_t budget = fixed < data_room ? data_room - fixed : 0;

    std::optional<FirmColumnsBuilder> own_builder;
    std::optional<FirmColumnsBuilder>& builder = options.kept_firm_columns ? *options.kept_firm_columns : own_builder;
    BranchNames names = read_branch_names(ref_csv_path);
    const Document* diag_index = scoreboard.get("diag_index");
    if (!builder || !builder->makes(*rows, order, periods, names, diag_index))
        builder.emplace(*rows, order, periods, std::move(names), diag_index);
    const FirmColumns& firms = builder->fit(budget);
    if (firms.kept < n_passed) notes.push_back(cut_note(firms.kept));

    core::AtomicFile file(html_path);
    std::ostream& os = file.stream();
    os << frame.before_data << "{\"page\":" << page_json(mode, n_rows, n_passed, firms.kept, notes) << ',';
    firms.write_json(os);
    os << rest << frame.after_data;
    file.commit();
}

}  // namespace tarvo::ronnel
