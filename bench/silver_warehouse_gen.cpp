// Writes a warehouse holding generated silver tables (fact_periodic, dim_entity, map_identity,
// ref_sube_bolge) for timing the mart run on its own:
//   silver_warehouse_gen DB_PATH FIRMS PERIODS [--with-diag] [--with-backtest]
// --with-diag adds diag_eus_kapsam_diskalma (two findings in one firm-period of five); --with-backtest adds
// the six backtest_ tables (four evaluated periods, every firm in the firm lists), so the admin data of the
// mart run has its full size. Everything is generated inside the warehouse, deterministically (hash of firm
// and period).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tarvo/vandel/vandel.hpp"

int main(int argc, char** argv) {
    bool with_diag = false, with_backtest = false;
    for (int a = 4; a < argc; ++a) {
        const std::string option = argv[a];
        if (option == "--with-diag") with_diag = true;
        else if (option == "--with-backtest") with_backtest = true;
        else argc = 0;  // unknown option: usage below
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s DB_PATH FIRMS PERIODS [--with-diag] [--with-backtest]\n", argv[0]);
        return 2;
    }
    const std::string db = argv[1];
    const long firms = std::atol(argv[2]);
    const long periods = std::atol(argv[3]);
    std::filesystem::remove(db);
    std::filesystem::remove(db + ".wal");
    tarvo::vandel::Vandel con(db);
    const std::string n = std::to_string(firms), p = std::to_string(periods);
    // Deterministic pseudo-random whole numbers from a firm and a period.
    con.execute("CREATE MACRO h1(a) AS CAST(hash(a) % 1000000007 AS BIGINT)");
    con.execute("CREATE MACRO h2(a, b) AS CAST(hash(a, b) % 1000000007 AS BIGINT)");
    con.execute("CREATE MACRO h3(a, b, c) AS CAST(hash(a, b, c) % 1000000007 AS BIGINT)");
    con.execute(
        "CREATE TABLE ref_sube_bolge AS SELECT s AS sube_kodu, 'Şube ' || s AS sube_adi, "
        "1 + s % 20 AS bolge_kodu, 'Bölge ' || (1 + s % 20) AS bolge_adi FROM range(1, 301) t(s)");
    con.execute(
        "CREATE TABLE dim_entity AS SELECT CAST(i AS VARCHAR) AS entity_id, "
        "(['KUR-TIC','KOBI','MIKRO','ESKK'])[1 + h1(i) % 4] AS segment, "
        "1 + h1(i * 7) % 300 AS sube_kodu, 1 + (1 + h1(i * 7) % 300) % 20 AS bolge_kodu "
        "FROM range(" + n + ") t(i)");
    con.execute(
        "CREATE TABLE map_identity AS SELECT CAST(i AS VARCHAR) AS entity_id, "
        "'Firma ' || i || ' Ticaret A.Ş.' AS unvan FROM range(" + n + ") t(i)");
    con.execute(
        "CREATE TABLE fact_periodic AS "
        "SELECT CAST(i AS VARCHAR) AS entity_id, printf('%02d%02d', 23 + p // 12, 1 + p % 12) AS donem, "
        "CASE WHEN h2(i, p) % 40 = 0 AND p > 0 THEN -1.0 "
        "     ELSE CAST((h1(i) % 700 + p * (h1(i) % 13)) % 1000 AS DOUBLE) END AS ovik_skor, "
        "CASE WHEN h3(i, p, 1) % 10 = 0 THEN NULL ELSE CAST(h1(i) % 200000000 AS DOUBLE) * (1 + p / 50.0) END "
        "  AS kombine_risk, "
        "CAST(h3(i, p, 2) % 2000000 AS DOUBLE) - 1000000 AS risk_degisim "
        "FROM range(" + n + ") t(i), range(" + p + ") s(p)");
    if (with_diag)
        con.execute(
            "CREATE TABLE diag_eus_kapsam_diskalma AS "
            "SELECT entity_id AS muta, donem, 'DISKALMA' AS katman, 'K' || k AS kriter, "
            "CAST(h3(entity_id, donem, k) % 1000 AS DOUBLE) AS deger, "
            "CASE WHEN k = 1 THEN NULL ELSE CAST(h3(entity_id, donem, 9) % 1000 AS DOUBLE) END AS onceki_deger, "
            "'Bulgu ' || k || ': ' || (h3(entity_id, donem, k) % 1000) AS aciklama, "
            "(['Kapsam dışı','Rating kriteri','İzleme sinyali','Memzuç'])[1 + h2(entity_id, k) % 4] AS grup, "
            "CAST(h3(entity_id, donem, 7) % 3 = 0 AS INTEGER) AS yeni "
            "FROM fact_periodic, range(1, 3) f(k) WHERE h2(entity_id, donem) % 5 = 0");
    if (with_backtest) {
        const std::string last = std::to_string(periods - 1);
        for (const char* model : {"eus", "yis", "ml"}) {
            const std::string m = model;
            con.execute("CREATE TABLE backtest_" + m +
                        " AS SELECT printf('%02d%02d', 23 + p // 12, 1 + p % 12) AS donem, "
                        "h2(p, '" + m + "') % 100 AS tp, h2(p, 'fp') % 400 AS fp, h2(p, 'fn') % 200 AS fn, "
                        "4000 + h2(p, 'tn') % 100 AS tn, 0.5 AS precision_val, 0.25 AS recall_val, "
                        "1 / 3 AS f1, 0.7 AS auc FROM range(greatest(0, " + last + " - 3), " + last + " + 1) s(p)");
            con.execute("CREATE TABLE backtest_" + m + "_firma AS SELECT CAST(i AS VARCHAR) AS entity_id, "
                        "(['TP','FP','FN','TN'])[1 + h2(i, '" + m + "') % 4] AS kategori FROM range(" + n + ") t(i)");
        }
    }
    std::printf("%s: %ld firms x %ld periods\n", db.c_str(), firms, periods);
    return 0;
}
