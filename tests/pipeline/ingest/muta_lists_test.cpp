// Target and coverage lists of the eus model: one implementation, two descriptions.
#include <gtest/gtest.h>

#include "bronze_fixture.hpp"
#include "tarvo/pipeline/ingest/muta_lists.hpp"

namespace tarvo::testing {
namespace {

using Lines = std::vector<std::string>;

struct ListCase {
    const char* name;
    void (*ingest)(vandel::Vandel&, const fs::path&, const ingest::MutaFilter&);
    const char* dir_key;
    const char* prefix;  // file names begin with it
    const char* table;
};

class MutaListsTest : public BronzeTest, public ::testing::WithParamInterface<ListCase> {
protected:
    fs::path src() const { return dir / GetParam().dir_key; }
    void write_lists() {
        const std::string p = GetParam().prefix;
        write_bytes(src() / (p + "202403.csv"), "KIMLIK,ad\n00123,a\n123.0,b\nabc,c\n");  // last four digits: 2403
        write_bytes(src() / (p + "2404.csv"), "KIMLIK\n");                               // header only
        write_bytes(src() / (p + "405.csv"), "KIMLIK\n555\n");                           // three digits
        write_bytes(src() / (p + "2405.csv"), "muta\n777\n");
        write_bytes(src() / "liste_2406.csv", "KIMLIK\n666\n");  // another name
    }
    Lines run(const ingest::MutaFilter& filter) {
        return lines_of([&] { GetParam().ingest(con, src(), filter); });
    }
    Lines table_rows() { return rows("SELECT * FROM " + std::string(GetParam().table) + " ORDER BY rowid"); }
    std::string count_line(int n) const { return "  " + std::string(GetParam().table) + ": " + std::to_string(n) + " rows"; }
};

TEST_P(MutaListsTest, LoadsListsWithPeriodFromTheLastFourDigits) {
    write_lists();
    EXPECT_EQ(run(std::nullopt), Lines{count_line(3)});
    EXPECT_EQ(table_rows(), (Lines{"'123' | '2403'", "'123' | '2403'", "'777' | '2405'"}));
}

TEST_P(MutaListsTest, FileWithoutFilteredCustomersAddsNothing) {
    write_lists();
    EXPECT_EQ(run(std::unordered_set<std::string>{"777"}), Lines{count_line(1)});
    EXPECT_EQ(table_rows(), Lines{"'777' | '2405'"});
}

TEST_P(MutaListsTest, SkipLineAndEmptyDirectory) {
    EXPECT_EQ(run(std::nullopt), Lines{"  [SKIP] " + std::string(GetParam().dir_key) + " not found"});
    fs::create_directories(src());
    EXPECT_EQ(run(std::nullopt), Lines{count_line(0)});
}

INSTANTIATE_TEST_SUITE_P(BothLists, MutaListsTest,
                         ::testing::Values(ListCase{"hedef", ingest::_ingest_eus_hedef, "eus_hedef_muta",
                                                    "eus_hedef_MUTA_", "brz_eus_hedef"},
                                           ListCase{"kapsam", ingest::_ingest_eus_kapsam, "eus_sql_kapsam_muta",
                                                    "eus_kapsam_MUTA_", "brz_eus_kapsam"}),
                         [](const ::testing::TestParamInfo<ListCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvo::testing
