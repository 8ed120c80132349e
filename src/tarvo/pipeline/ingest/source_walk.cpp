#include "tarvo/pipeline/ingest/source_walk.hpp"

#include <exception>

#include "tarvo/core/console.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"
#include "tarvo/pipeline/ingest/cleaning.hpp"
#include "tarvo/pipeline/ingest/readers.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::ingest {

bool skip_missing_dir(const fs::path& dir, std::string_view dir_key) {
    if (fs::exists(dir)) return false;
    core::console().line("  [SKIP] " + std::string(dir_key) + " not found");
    return true;
}

void print_row_count(std::string_view table, int64_t count) {
    core::console().line("  " + std::string(table) + ": " + std::to_string(count) + " rows");
}

std::optional<std::string> period_in_name(const fs::path& file, const std::regex& pattern) {
    const std::string file_name = file.filename().string();
    std::smatch m;
    if (!std::regex_search(file_name, m, pattern)) return std::nullopt;
    return m[1].str();
}

namespace {

// A header name as the error shows it: quoted, cut to 40 bytes at a character boundary (a file
// without a header line has a data line in its place).
std::string shown_name(const std::string& name) {
    constexpr size_t kNameBudget = 40;
    if (name.size() <= kNameBudget) return "'" + name + "'";
    size_t cut = kNameBudget;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    return "'" + name.substr(0, cut) + "\u2026'";
}

}  // namespace

void missing_column(const fs::path& file, std::string_view wanted, const std::vector<std::string>& found) {
    constexpr size_t kListBudget = 150;
    std::string list;
    size_t shown = 0;
    for (; shown < found.size(); ++shown) {
        std::string item = shown_name(found[shown]);
        if (shown > 0 && list.size() + item.size() > kListBudget) break;
        if (shown > 0) list += ", ";
        list += item;
    }
    if (found.empty()) list = "none";
    if (shown < found.size()) list += ", and " + std::to_string(found.size() - shown) + " more";
    throw core::KeyError(core::path_text(file) + ": column " + std::string(wanted) + " not found; columns found: " +
                         list);
}

void require_column(const core::Table& df, std::string_view name, const fs::path& file) {
    if (!df.has(name)) missing_column(file, "'" + std::string(name) + "'", df.names());
}

core::Column constant_text(const std::string& text, size_t n) {
    core::Column c(core::str);
    c.reserve(n);
    for (size_t i = 0; i < n; ++i) c.push_text(text);
    return c;
}

core::Table make_out(std::vector<std::pair<std::string, core::Column>> columns) {
    core::Table out;
    for (auto& [name, col] : columns) out.set(name, std::move(col));
    return out;
}

std::optional<core::Column> take_column(core::Table& df, std::string_view name) {
    core::Column* c = df.find(name);
    if (!c) return std::nullopt;
    core::Column col = std::move(*c);
    df.drop(name);
    return col;
}

int64_t append_out(vandel::Vandel& con, const core::Table& out, std::string_view table) {
    con.run_with_out(out, "INSERT INTO " + std::string(table) + " SELECT * FROM out");
    return static_cast<int64_t>(out.nrows());
}

void read_comma_utf8(vandel::Vandel& con, const fs::path& file, TableSink& sink) {
    read_text(con, file, ',', Encoding::utf8, {}, sink);
}

namespace {

// One extract on its way to its brz_ table: each part of the read is prepared (muta, donem, the
// source's columns) and appended to "out" as it arrives.
class ExtractLoad final : public TableSink {
public:
    ExtractLoad(vandel::Vandel& con, const fs::path& file, std::string donem, const MutaFilter& muta_filter,
                const PeriodFileSource& source)
        : con_(con), file_(file), donem_(std::move(donem)), muta_filter_(muta_filter), source_(source) {}

    void begin(const core::Table& columns) override {
        out_.reset();
        customer_column_.reset();
        missing_column_ = nullptr;
        try {
            customer_column_ = source_.customer_column(columns, file_);
        } catch (...) {
            missing_column_ = std::current_exception();  // thrown once the read has succeeded
            return;
        }
        // "out" takes its column types from the extract's columns, before any row arrives.
        if (customer_column_) out_.emplace(con_, prepared(core::Table(columns)));
    }

    void rows(core::Table& chunk) override {
        if (!out_) return;
        const core::Table part = prepared(std::move(chunk));
        if (part.nrows() > 0) out_->append(part);
    }

    // Appends the rows kept to the source's table with one statement; returns their number.
    int64_t finish() {
        if (missing_column_) std::rethrow_exception(missing_column_);
        if (!out_ || out_->rows() == 0) return 0;
        const int64_t n = out_->rows();
        out_->run("INSERT INTO " + std::string(source_.table) + " SELECT * FROM out");
        out_.reset();
        return n;
    }

private:
    core::Table prepared(core::Table df) const {
        df = prepare_mutas(std::move(df), *customer_column_, muta_filter_);
        const size_t n = df.nrows();
        core::Table out = make_out({{"muta", *take_column(df, "muta")}, {"donem", constant_text(donem_, n)}});
        if (source_.add_columns) source_.add_columns(df, *customer_column_, out);
        return out;
    }

    vandel::Vandel& con_;
    const fs::path& file_;
    const std::string donem_;
    const MutaFilter& muta_filter_;
    const PeriodFileSource& source_;
    std::optional<std::string> customer_column_;
    std::exception_ptr missing_column_;
    std::optional<vandel::OutTable> out_;
};

}  // namespace

void ingest_period_files(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter,
                         const PeriodFileSource& source) {
    if (skip_missing_dir(dir, source.dir_key)) return;
    int64_t total = 0;
    for (const fs::path& file : core::sorted_glob(dir, source.file_pattern)) {
        std::optional<std::string> donem = source.period(file);
        if (!donem) continue;
        ExtractLoad load(con, file, std::move(*donem), muta_filter, source);
        source.read(con, file, load);
        total += load.finish();
    }
    print_row_count(source.table, total);
}

}  // namespace tarvo::ingest
