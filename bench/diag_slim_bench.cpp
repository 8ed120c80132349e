// Slim diagnostic index over a large findings table: wall time and peak resident memory.
//
//   diag_slim_bench [--rows N] [--firms F] [--periods P] [--new-pct X] [--groups G] [--repeat R]
//                   [--dir D]
//
// Generates diag_eus_kapsam_diskalma with N rows inside the warehouse (a temporary file), then
// measures, each in its own child process so that every peak is its own:
//   query  the slim aggregate statement alone: once with its result left in the warehouse, once
//          with its rows read and dropped (no index built);
//   slim   _build_diag_index_slim on a fresh connection, then a second call on the same
//          connection (the index is remembered and comes back shared).
// Peak memory is VmHWM from /proc/self/status. Both phases pay the same warehouse costs, so
// "slim peak - query peak" is what building the index costs the program beyond the warehouse.
// With --dir D the warehouse is D/bench.duckdb and is kept: a later run with the same --dir (and
// the same data options) measures it again without generating it. With --repeat R the three measuring phases run R times, in turn, to see the spread of the
// times on a shared machine. Default data: 20,000,000 findings of 100,000 firms over 20 periods (10 per firm and period),
// 5 % of them new, 12 group labels.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "tarvo/core/console.hpp"
#include "tarvo/core/value.hpp"
#include "tarvo/pipeline/marts/diag_index.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace {

using Clock = std::chrono::steady_clock;

using tarvo::marts::kSlimByGroup;  // the statement the slim index sends

struct Options {
    int64_t rows = 20'000'000;
    int64_t firms = 100'000;
    int64_t periods = 20;
    int64_t new_pct = 5;
    int64_t groups = 12;
    int64_t repeat = 1;
    std::string dir;
};

int64_t status_kb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.rfind(prefix, 0) == 0) return std::atoll(line.c_str() + prefix.size());
    return -1;
}

double seconds_since(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

std::string mb(int64_t kb) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f MB", static_cast<double>(kb) / 1024.0);
    return buf;
}

void generate(const Options& o, const std::string& db) {
    tarvo::vandel::Vandel con(db);
    const int64_t per_cell = o.rows / (o.firms * o.periods);
    std::ostringstream sql;
    // Firm-major order, each firm's periods together, as an extract would deliver them.
    sql << "CREATE TABLE diag_eus_kapsam_diskalma AS SELECT "
        << "(1000000 + i // " << per_cell * o.periods << ")::BIGINT AS muta, "
        << "(2401 + (i // " << per_cell << ") % " << o.periods << ")::VARCHAR AS donem, "
        << "'L' || (i % 4) AS katman, 'K' || (i % 25) AS kriter, "
        << "(hash(i) % 100000) / 100.0 AS deger, "
        << "CASE WHEN i % 3 = 0 THEN NULL ELSE (hash(i + 1) % 100000) / 100.0 END AS onceki_deger, "
        << "CASE WHEN i % 5 = 0 THEN NULL ELSE 'aciklama ' || (i % 50) END AS aciklama, "
        << "CASE WHEN i % 97 = 0 THEN NULL ELSE 'G' || lpad((hash(i * 7) % " << o.groups
        << ")::VARCHAR, 2, '0') END AS grup, "
        << "(hash(i * 13) % 100 < " << o.new_pct << ")::INTEGER AS yeni "
        << "FROM range(" << o.rows << ") t(i)";
    con.execute(sql.str());
    con.execute("CHECKPOINT");
}

// Runs `phase` in a child process; its report lines come back on standard output.
template <class F>
bool in_child(const char* name, F phase) {
    std::cout.flush();
    pid_t pid = fork();
    if (pid == 0) {
        int rc = 0;
        try {
            phase();
        } catch (const std::exception& e) {
            std::cerr << name << " failed: " << e.what() << "\n";
            rc = 1;
        }
        std::cout.flush();
        std::_Exit(rc);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string a = argv[i];
        if (a == "--rows") o.rows = std::atoll(argv[i + 1]);
        else if (a == "--firms") o.firms = std::atoll(argv[i + 1]);
        else if (a == "--periods") o.periods = std::atoll(argv[i + 1]);
        else if (a == "--new-pct") o.new_pct = std::atoll(argv[i + 1]);
        else if (a == "--groups") o.groups = std::atoll(argv[i + 1]);
        else if (a == "--repeat") o.repeat = std::atoll(argv[i + 1]);
        else if (a == "--dir") o.dir = argv[i + 1];
        else {
            std::cerr << "unknown option " << a << "\n";
            return 2;
        }
    }
    namespace fs = std::filesystem;
    const fs::path dir = o.dir.empty() ? fs::temp_directory_path() / ("diag_slim_bench." + std::to_string(getpid()))
                                       : fs::path(o.dir);
    fs::create_directories(dir);
    const std::string db = (dir / "bench.duckdb").string();
    const bool keep = !o.dir.empty();
    const bool reuse = keep && fs::exists(db);

    std::cout << "findings: " << tarvo::core::group_thousands(o.rows) << " rows, "
              << tarvo::core::group_thousands(o.firms) << " firms x " << o.periods << " periods, "
              << o.new_pct << " % new, " << o.groups << " groups; warehouse " << db << "\n";

    bool ok = reuse || in_child("generate", [&] {
        auto t0 = Clock::now();
        generate(o, db);
        std::cout << "generate: " << seconds_since(t0) << " s, file "
                  << mb(static_cast<int64_t>(fs::file_size(db) / 1024)) << "\n";
    });

    for (int64_t k = 0; k < o.repeat && ok; ++k) {
        ok = ok && in_child("query in the warehouse", [&] {
            tarvo::vandel::Vandel con(db, tarvo::vandel::Access::read_only);
            auto t0 = Clock::now();
            con.execute(std::string(kSlimByGroup));
            std::cout << "query in the warehouse only (result not read): " << seconds_since(t0)
                      << " s; peak " << mb(status_kb("VmHWM")) << "\n";
        });

        ok = ok && in_child("query", [&] {
            tarvo::vandel::Vandel con(db, tarvo::vandel::Access::read_only);
            const int64_t base = status_kb("VmRSS");
            auto t0 = Clock::now();
            int64_t n = con.for_each_row(kSlimByGroup, [](std::vector<tarvo::core::Document>&) {});
            const double t = seconds_since(t0);
            std::cout << "query alone: " << t << " s, " << tarvo::core::group_thousands(n)
                      << " rows; RSS at open " << mb(base) << ", peak " << mb(status_kb("VmHWM")) << "\n";
        });

        ok = ok && in_child("slim", [&] {
            tarvo::vandel::Vandel con(db, tarvo::vandel::Access::read_only);
            const int64_t base = status_kb("VmRSS");
            auto t0 = Clock::now();
            tarvo::core::Document index = tarvo::marts::_build_diag_index_slim(con);
            const double t1 = seconds_since(t0);
            const int64_t peak1 = status_kb("VmHWM");
            const int64_t held1 = status_kb("VmRSS");
            auto t2 = Clock::now();
            tarvo::core::Document again = tarvo::marts::_build_diag_index_slim(con);
            const double t3 = seconds_since(t2);
            std::cout << "slim index: " << t1 << " s, " << tarvo::core::group_thousands(static_cast<int64_t>(index.size()))
                      << " firms; RSS at open " << mb(base) << ", peak " << mb(peak1)
                      << ", RSS holding the index " << mb(held1) << "\n";
            std::cout << "slim index again (same connection, remembered index): " << t3
                      << " s; peak with both documents held " << mb(status_kb("VmHWM")) << "\n";
            if (!(index == again)) throw std::runtime_error("second index differs from the first");
        });
    }

    if (!keep) fs::remove_all(dir);
    return ok ? 0 : 1;
}
