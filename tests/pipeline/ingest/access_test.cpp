#include <gtest/gtest.h>

#include "tarvo/core/errors.hpp"
#include "tarvo/pipeline/ingest/access.hpp"

namespace tarvo::ingest {
namespace {

// The sample files live beside the project, in the shared test data.
const fs::path kSamples = (fs::path(TARVO_SOURCE_DIR) / ".." / "shared" / "testdata" / "access").lexically_normal();

std::vector<std::string> cells(const core::Table& t) {
    std::vector<std::string> rows;
    for (size_t r = 0; r < t.nrows(); ++r) {
        std::string row;
        for (size_t c = 0; c < t.ncols(); ++c) {
            if (c) row += "|";
            row += t.column(c).is_null(r) ? "<null>" : t.column(c).text_form(r);
        }
        rows.push_back(row);
    }
    return rows;
}

#if TARVO_HAVE_MDBTOOLS

class AccessTest : public ::testing::Test {
protected:
    // Missing samples fail every test, naming the path, so that a checkout without the shared
    // test data cannot pass unseen.
    void SetUp() override {
        for (const char* sample : {"jet3_sample.mdb", "jet4_sample.mdb"})
            ASSERT_TRUE(fs::exists(kSamples / sample)) << "shared test data missing: " << (kSamples / sample).string();
    }
};

TEST_F(AccessTest, ListsUserTablesInCatalogOrder) {
    EXPECT_EQ(list_access_tables(kSamples / "jet3_sample.mdb"),
              (std::vector<std::string>{"Table1", "Table2", "Table3", "Table4"}));
    EXPECT_EQ(list_access_tables(kSamples / "jet4_sample.mdb"), (std::vector<std::string>{"users"}));
}

TEST_F(AccessTest, ReadsJet3TableWithTypedColumns) {
    core::Table t = read_access_table(kSamples / "jet3_sample.mdb", "Table1");
    EXPECT_EQ(t.names(), (std::vector<std::string>{"A", "B", "C", "D", "E", "F", "G", "H", "I"}));
    EXPECT_EQ(t["A"].kind(), core::str);
    EXPECT_EQ(t["E"].kind(), core::i64);
    EXPECT_EQ(t["F"].kind(), core::f64);
    EXPECT_EQ(cells(t), (std::vector<std::string>{
                            "a|b|0|0|0|0.0|1981-12-12 00:00:00|0.0|False",
                            "abcdefg|hijklmnop|2|222|333333333|444.555|1974-09-21 00:00:00|3.5|True",
                        }));
}

TEST_F(AccessTest, ReadsEmptyTablesAndJet4) {
    core::Table t3 = read_access_table(kSamples / "jet3_sample.mdb", "Table3");
    EXPECT_EQ(t3.names(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(t3.nrows(), 0u);
    // Table2 is a wide table: column1 ... column89.
    core::Table t2 = read_access_table(kSamples / "jet3_sample.mdb", "Table2");
    ASSERT_EQ(t2.ncols(), 89u);
    for (size_t c = 0; c < t2.ncols(); ++c) EXPECT_EQ(t2.names()[c], "column" + std::to_string(c + 1));
    EXPECT_EQ(t2.nrows(), 0u);

    core::Table users = read_access_table(kSamples / "jet4_sample.mdb", "users");
    EXPECT_EQ(users.names(),
              (std::vector<std::string>{"i_user_id", "c_user_login", "c_user_pwd", "c_user_session", "c_user_name",
                                        "i_user_flags", "i_user_type", "i_user_merch", "c_flag_", "d_stamp_"}));
    EXPECT_EQ(cells(users), (std::vector<std::string>{
                                "1|CORE USER| |-1|Core User|1|16408|-1|N|2009-11-05 23:41:28",
                                "2|admin|X03MO1qnZdYdgyfeuILPmQ==|-1|Admin User|1|81928|120|N|2009-10-22 03:57:13",
                            }));
}

TEST_F(AccessTest, FailuresReachTheCaller) {
    EXPECT_THROW(read_access_table(kSamples / "jet3_sample.mdb", "NoSuchTable"), core::KeyError);
    EXPECT_THROW(list_access_tables(kSamples / "missing.mdb"), core::FileNotFoundError);
    EXPECT_THROW(read_access_table(kSamples / "README.md", "Table1"), core::Error);
}

#else

TEST(Access, BuiltWithoutReaderSaysSo) {
    try {
        list_access_tables(kSamples / "jet3_sample.mdb");
        ADD_FAILURE() << "no error";
    } catch (const core::ModuleNotFoundError& e) {
        EXPECT_NE(std::string(e.what()).find("Access reader is missing"), std::string::npos);
    }
}

#endif

}  // namespace
}  // namespace tarvo::ingest
