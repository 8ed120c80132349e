// The monitoring-list ingest on one large generated extract, against the warehouse engine
// reading the same rows (already UTF-8) into a table by itself.
//
//   ingest_kik_bench generate DIR [rows] [seed]   writes DIR/src/kik_data_ham_csv/Kurumsal_20250302.csv
//                                                 (Windows-1254, ";") and DIR/reference.csv (UTF-8)
//   ingest_kik_bench ingest DIR                   run_ingest(DIR/src, DIR/ingest.duckdb)
//   ingest_kik_bench reference DIR                CREATE TABLE x AS SELECT * FROM read_csv(DIR/reference.csv)
//
// Each mode prints its wall time and peak resident set size (VmHWM) on standard error.
// ingest_kik_bench.sh runs the three under /usr/bin/time -v.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>


#include "bench_support.hpp"
#include "tarvo/core/codepage.hpp"
#include "tarvo/pipeline/ingest/driver.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace fs = std::filesystem;

namespace {


// "1.234.567,89": Turkish grouping and decimal comma.
std::string turkish_amount(int64_t cents) {
    std::string whole = std::to_string(cents / 100);
    std::string grouped;
    for (size_t i = 0; i < whole.size(); ++i) {
        if (i && (whole.size() - i) % 3 == 0) grouped += '.';
        grouped += whole[i];
    }
    char frac[4];
    std::snprintf(frac, sizeof frac, "%02d", static_cast<int>(cents % 100));
    return grouped + "," + frac;
}

void generate(const fs::path& dir, int64_t rows, uint64_t seed) {
    static const char* kNames[] = {"Öztürk İnşaat A.Ş.", "Çelik Gıda Ltd. Şti.", "Yılmaz Tekstil", "Güneş Enerji A.Ş.",
                                   "Doğan Lojistik", "Kaya Otomotiv San. Tic."};
    static const char* kRatings[] = {"1A", "2B", "3C", "4D", "5E"};
    static const char* kRegions[] = {"İstanbul Avrupa", "Ankara", "İzmir", "Ege", "Güneydoğu"};
    std::mt19937_64 rng(seed);
    std::string text =
        "Must No;Must Ad;Sube Kod;Bolge Ad;Ykn Izl Flag;Rtng Kod;Rating Tar;Risk Bky Tl;Gckm Gun Say;"
        "Erkn Izlm Kod;CISS_1;CISS_2;Segment\r\n";
    text.reserve(static_cast<size_t>(rows) * 130);
    for (int64_t i = 0; i < rows; ++i) {
        char muta[24];
        std::snprintf(muta, sizeof muta, "%09lld", static_cast<long long>(1000 + i));
        text += muta;
        text += ';';
        text += kNames[rng() % 6];
        text += ' ';
        text += std::to_string(i);
        text += ';' + std::to_string(100 + rng() % 900) + ';';
        text += kRegions[rng() % 5];
        text += rng() % 4 == 0 ? ";E;" : ";H;";
        text += kRatings[rng() % 5];
        text += ";2025-0" + std::to_string(1 + rng() % 9) + "-15;";
        text += turkish_amount(static_cast<int64_t>(rng() % 5000000000ULL));
        text += ';' + (rng() % 10 == 0 ? std::string() : std::to_string(rng() % 120)) + ';';
        text += rng() % 3 == 0 ? "K1" : "";
        text += rng() % 20 == 0 ? ";1;0;" : ";0;;";
        text += rng() % 2 ? "KOBI\r\n" : "Kurumsal\r\n";
    }
    fs::create_directories(dir / "src" / "kik_data_ham_csv");
    std::ofstream(dir / "reference.csv", std::ios::binary) << text;
    std::ofstream(dir / "src" / "kik_data_ham_csv" / "Kurumsal_20250302.csv", std::ios::binary) << tarvo::core::encode_cp1254(text);
}

int usage() {
    std::cerr << "usage: ingest_kik_bench generate DIR [rows] [seed] | ingest DIR | reference DIR\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string mode = argv[1];
    const fs::path dir = argv[2];
    const auto start = std::chrono::steady_clock::now();
    try {
        if (mode == "generate") {
            generate(dir, argc > 3 ? std::atoll(argv[3]) : 1000000, argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 7);
        } else if (mode == "ingest") {
            tarvo::ingest::run_ingest(dir / "src", dir / "ingest.duckdb");
        } else if (mode == "reference") {
            fs::remove(dir / "reference.duckdb");
            tarvo::vandel::Vandel con((dir / "reference.duckdb").string());
            con.execute("CREATE TABLE x AS SELECT * FROM read_csv('" + (dir / "reference.csv").string() +
                        "', delim=';', header=true, all_varchar=true)");
            std::cout << "reference rows: " << con.fetchall("SELECT COUNT(*) FROM x").at(0).at(0).as_int() << "\n";
        } else {
            return usage();
        }
    } catch (const std::exception& e) {
        std::cerr << mode << " failed: " << e.what() << "\n";
        return 1;
    }
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cerr << mode << ": " << secs << " s, peak RSS" << tarvo::bench::peak_rss() << "\n";
    return 0;
}
