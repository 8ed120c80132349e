// Damaged extracts through the command line: exit status 1 and one line on standard error that
// names the file, the line or column and what is wrong, with none of the file's data.
#include <gtest/gtest.h>

#include <string>

#include "support/source_files.hpp"
#include "support/tarvo_process.hpp"
#include "tarvo/core/files.hpp"

namespace {

namespace fs = std::filesystem;
using tarvo::testing::Outcome;

// `tarvo ingest SOURCE <dir>/w.duckdb`, started as a user starts it (behind the emulator in a cross build).
Outcome ingest(const fs::path& source, const tarvo::core::TempDir& dir) {
    return tarvo::testing::run_tarvo({"ingest", source.string(), (dir / "w.duckdb").string()});
}

TEST(DamagedExtracts, OneErrorLineWithoutSourceData) {
    const std::string firm = "GIZLI TEKSTIL A.S.", amount = "987654321";
    struct Case {
        const char* name;
        const char* file;  // under the source directory
        std::string bytes;
        std::string error;  // after "tarvo: ", "<file>" standing for the file's path
    };
    const std::vector<Case> cases{
        {"unterminated quote in a monitoring list", "kik_data_ham_csv/Kurumsal_20240302.csv",
         "Must No;Must Ad;Risk Bky Tl\r\n1;\"" + firm + ";" + amount + "\r\n2;B;3\r\n",
         "ReadError: cannot read <file>: line 2: a quoted field is not closed"},
        {"line beyond the limit", "kik_data_ham_csv/Kurumsal_20240302.csv",
         "Must No;Must Ad\n1;A\n2;" + firm + std::string(size_t{16} << 20, '9') + "\n",
         "ReadError: cannot read <file>: line 3: longer than 16 MiB (16,777,216 bytes)"},
        {"too many fields in a target list", "eus_hedef_muta/eus_hedef_MUTA_202403.csv",
         "MUTA\n1\n2," + firm + "," + amount + "\n",
         "ReadError: cannot read <file>: line 3 has more fields than the header (1)"},
        {"static file without kri_bolum", "statik_db/statik_bilgiler_20240101.txt",
         "MUSTERI;BOLGE;BOLGE_AD;SUBE;SUBE_AD;TIP;GRUP;GRUP_AD;OTORIZE;AKSIYON\n1;12;" + firm + ";4;x;y;z;w;v;" +
             amount + "\n",
         "KeyError: <file>: column 11 ('kri_bolum') not found; columns found: 'MUSTERI', 'BOLGE', 'BOLGE_AD', "
         "'SUBE', 'SUBE_AD', 'TIP', 'GRUP', 'GRUP_AD', 'OTORIZE', 'AKSIYON'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tarvo::core::TempDir dir("tarvo-damaged");
        const fs::path file = dir / "source" / c.file;
        tarvo::testing::write_bytes(file, c.bytes);
        const Outcome r = ingest(dir / "source", dir);
        std::string want = "tarvo: " + c.error + "\n";
        want.replace(want.find("<file>"), 6, file.string());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, want);
        EXPECT_EQ(r.err.find(firm), std::string::npos);
        EXPECT_EQ(r.err.find(amount), std::string::npos);
    }
}

// Lines ending partly in CRLF and partly in LF are read as lines.
TEST(DamagedExtracts, MixedLineEndsAreLoaded) {
    tarvo::core::TempDir dir("tarvo-damaged");
    tarvo::testing::write_cp1254(dir / "source" / "kik_data_ham_csv" / "Kurumsal_20240302.csv",
                                 "Must No;Must Ad\r\n1;Şirket A\n2;B\r\n3;C\n");
    const Outcome r = ingest(dir / "source", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("  brz_kik_izleme: 3 rows\n"), std::string::npos) << r.out;
}

}  // namespace
