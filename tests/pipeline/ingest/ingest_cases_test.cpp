// Ingest cases kept as data: one folder per case under cases/ (see cases/README.md), run by the
// one test below. Adding a case is adding a folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <ostream>

#include "bronze_fixture.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/files.hpp"

namespace tarvo::testing {
namespace {

using Lines = std::vector<std::string>;
using IngestFn = void (*)(vandel::Vandel&, const fs::path&, const ingest::MutaFilter&);

const fs::path kCases = fs::path(TARVO_SOURCE_DIR) / "tests" / "pipeline" / "ingest" / "cases";

const std::map<std::string, IngestFn, std::less<>> kSources{
    {"kik_data_ham_csv", ingest::_ingest_kik_izleme}, {"kredi_db", ingest::_ingest_kredi_risk},
    {"yis_tahmin_data", ingest::_ingest_yis_tahmin},  {"eus_tahmin_data", ingest::_ingest_eus_tahmin},
    {"eus_hedef_muta", ingest::_ingest_eus_hedef},    {"eus_sql_kapsam_muta", ingest::_ingest_eus_kapsam},
    {"statik_db", ingest::_ingest_statik},            {"yis_train_data", ingest::_ingest_train_features},
    {"rkd_donem_data", ingest::_ingest_rkd_kriter},   {"memzuc_data_donem", ingest::_ingest_memzuc},
};

struct IngestCase {
    std::string name;  // the folder's name
    fs::path dir;
};

void PrintTo(const IngestCase& c, std::ostream* os) { *os << c.name; }

std::vector<IngestCase> all_cases() {
    std::vector<IngestCase> cases;
    for (const fs::directory_entry& e : fs::directory_iterator(kCases))
        if (e.is_directory()) cases.push_back({e.path().filename().string(), e.path()});
    std::sort(cases.begin(), cases.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return cases;
}

Lines lines_in(const fs::path& file) {
    Lines lines;
    const std::string text = core::read_file(file);
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// One cell as CSV: a null is an empty field, a text holding a separator, a quote, a line end or
// nothing at all is quoted ("" for an empty text), any other value is its text form.
std::string csv_field(const core::Column& col, size_t row) {
    if (col.is_null(row)) return "";
    const std::string text = col.text_form(row);
    if (!col.is_text_cell(row) || (!text.empty() && text.find_first_of(",\"\r\n") == std::string::npos)) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

// The table's rows in the order they were appended, as CSV lines under a header line.
Lines csv_lines(vandel::Vandel& con, const std::string& table) {
    const core::Table t = con.query("SELECT * FROM " + table + " ORDER BY rowid");
    Lines lines(1 + t.nrows());
    for (size_t c = 0; c < t.ncols(); ++c) {
        const std::string sep = c ? "," : "";
        lines[0] += sep + t.names()[c];
        for (size_t r = 0; r < t.nrows(); ++r) lines[1 + r] += sep + csv_field(t.column(c), r);
    }
    return lines;
}

class IngestCaseTest : public BronzeTest, public ::testing::WithParamInterface<IngestCase> {};

// run.txt names the sources to run, in order; each reads input/<key> and the run's muta filter
// is input/muta_filter.txt when there is one. The console lines must be expected/console.txt,
// the error that ends the run expected/error.txt ("<kind>: <message>", the input folder written
// <input>; no file: no error), each bronze table expected/<table>.csv or else empty.
TEST_P(IngestCaseTest, Run) {
    const fs::path input = GetParam().dir / "input";
    const fs::path expected = GetParam().dir / "expected";
    const fs::path filter_file = input / "muta_filter.txt";
    const ingest::MutaFilter filter =
        fs::exists(filter_file) ? ingest::read_muta_filter_file(filter_file) : ingest::MutaFilter{};

    Lines console;
    std::string error;
    {
        core::ConsoleCapture capture;
        try {
            for (const std::string& key : lines_in(GetParam().dir / "run.txt")) {
                auto source = kSources.find(key);
                ASSERT_NE(source, kSources.end()) << "run.txt names no source " << key;
                source->second(con, input / key, filter);
            }
        } catch (const core::Error& e) {
            error = core::error_kind(e) + ": " + e.what();
            const std::string input_text = core::path_text(input);
            for (size_t at; (at = error.find(input_text)) != std::string::npos;) error.replace(at, input_text.size(), "<input>");
        }
        console = capture.out_lines();
    }
    EXPECT_EQ(console, lines_in(expected / "console.txt"));
    EXPECT_EQ(error, fs::exists(expected / "error.txt") ? lines_in(expected / "error.txt").at(0) : "");

    for (const vandel::Row& row : con.fetchall("SHOW TABLES")) {
        const std::string table = row.at(0).text_form();
        const fs::path want = expected / (table + ".csv");
        if (fs::exists(want))
            EXPECT_EQ(csv_lines(con, table), lines_in(want)) << table;
        else
            EXPECT_EQ(rows("SELECT COUNT(*) FROM " + table), Lines{"0"}) << table << " holds rows; no " << want;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, IngestCaseTest, ::testing::ValuesIn(all_cases()),
                         [](const ::testing::TestParamInfo<IngestCase>& case_info) { return case_info.param.name; });

// The driver knows every source the ingest run loads, and no other.
TEST(IngestCaseSources, AreTheRunsSources) {
    std::vector<std::string_view> keys;
    for (const auto& entry : kSources) keys.push_back(entry.first);
    std::vector<std::string_view> run_keys = ingest::source_dir_keys();
    std::sort(run_keys.begin(), run_keys.end());
    EXPECT_EQ(keys, run_keys);
}

}  // namespace
}  // namespace tarvo::testing
