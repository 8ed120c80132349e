#include "tarvo/pipeline/dalmer/transforms.hpp"

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tarvo/core/console.hpp"
#include "tarvo/core/errors.hpp"
#include "tarvo/core/table.hpp"
#include "tarvo/core/text.hpp"
#include "tarvo/core/value.hpp"
#include "tarvo/pipeline/dalmer/literal_eval.hpp"
#include "tarvo/pipeline/ingest/driver.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::dalmer {

namespace {

// Every period of the sources that feed fact_periodic, newest first, with the period before
// each one. The silver tables keep the twelve newest (son_12); values "one period back" are
// read from the thirteen newest (hesap_donemleri), so the oldest period of the window still
// has a previous period when the bronze data has one.
constexpr std::string_view kPeriodChainSql = R"sql(
CREATE OR REPLACE TEMP TABLE donem_zinciri AS
WITH d AS (
    SELECT donem FROM brz_eus_tahmin
    UNION SELECT donem FROM brz_kik_izleme
    UNION SELECT donem FROM brz_kredi_risk
    UNION SELECT donem FROM brz_memzuc
)
SELECT donem,
       CAST(ROW_NUMBER() OVER (ORDER BY donem DESC) AS INTEGER) AS geri,
       LEAD(donem) OVER (ORDER BY donem DESC) AS onceki_donem
FROM d
WHERE donem IS NOT NULL AND regexp_full_match(donem, '[0-9]{4}');
CREATE OR REPLACE TEMP TABLE hesap_donemleri AS
SELECT donem, onceki_donem FROM donem_zinciri WHERE geri <= 13
)sql";

// All four sources in one long table, one pass of aggregation per firm and period: the
// highest eus score, the highest monitoring-list risk (a firm listed twice in one delivery
// counts once), the sum of the credit lines, and whether any follow-up amount is open.
constexpr std::string_view kFactPeriodicSql = R"sql(
CREATE OR REPLACE TABLE fact_periodic AS
WITH kaynak AS (
    SELECT muta, donem, eus_skor,
           CAST(NULL AS BIGINT) AS kik_risk, CAST(NULL AS BIGINT) AS kredi_risk, false AS takipte
    FROM brz_eus_tahmin WHERE donem IN (SELECT donem FROM hesap_donemleri)
    UNION ALL
    SELECT muta, donem, NULL, kik_risk, NULL, false
    FROM brz_kik_izleme WHERE donem IN (SELECT donem FROM hesap_donemleri)
    UNION ALL
    SELECT muta, donem, NULL, NULL, kredi_risk, false
    FROM brz_kredi_risk WHERE donem IN (SELECT donem FROM hesap_donemleri)
    UNION ALL
    SELECT muta, donem, NULL, NULL, NULL, true
    FROM brz_memzuc WHERE donem IN (SELECT donem FROM hesap_donemleri) AND idari_kanuni_takip > 0
), birlesik AS (
    SELECT muta AS entity_id, donem,
           CASE WHEN bool_or(takipte) THEN -1.0 ELSE MAX(eus_skor) END AS ovik_skor,
           CASE WHEN COUNT(kik_risk) = 0 AND COUNT(kredi_risk) = 0 THEN NULL
                ELSE CAST(COALESCE(MAX(kik_risk), 0) + COALESCE(SUM(kredi_risk), 0) AS BIGINT)
           END AS kombine_risk
    FROM kaynak
    GROUP BY muta, donem
), onceki AS (
    SELECT b.*,
           LAG(donem) OVER w AS firma_onceki_donem,
           LAG(kombine_risk) OVER w AS onceki_risk
    FROM birlesik b
    WINDOW w AS (PARTITION BY entity_id ORDER BY donem)
)
SELECT o.entity_id, o.donem, o.ovik_skor, o.kombine_risk,
       CASE WHEN o.firma_onceki_donem = s.onceki_donem THEN o.kombine_risk - o.onceki_risk
       END AS risk_degisim
FROM onceki o JOIN son_12 s ON s.donem = o.donem
)sql";

// The segment of the newest training period with one (a blank segment is none). One static row
// per firm: the lowest branch code, then the lowest region code, then the other fields in
// order, so duplicates always give the same row. Static fields: risk_grup_kodu <- grup_kodu,
// pgy <- aksiyon_sahibi, finansman_konu <- kri_bolum, tahsis_onay_birimi <- firma_otorize_kodu
// (trimmed, empty as null).
constexpr std::string_view kDimEntitySql = R"sql(
CREATE OR REPLACE TABLE dim_entity AS
WITH firmalar AS (
    SELECT entity_id AS muta FROM fact_periodic
    UNION SELECT muta FROM brz_statik
    UNION SELECT muta FROM brz_train_features
), segment AS (
    SELECT muta, segment FROM brz_train_features
    WHERE regexp_matches(segment, '[^\s\p{Z}]')
    QUALIFY ROW_NUMBER() OVER (PARTITION BY muta ORDER BY donem DESC, segment) = 1
), statik AS (
    SELECT * FROM brz_statik
    QUALIFY ROW_NUMBER() OVER (
        PARTITION BY muta
        ORDER BY sube_kodu NULLS LAST, bolge_kodu, bolge_adi, sube_adi, must_tip_kodu, grup_kodu,
                 grup_tanimi, firma_otorize_kodu, aksiyon_sahibi, kri_bolum) = 1
), son_kod AS (
    SELECT k.muta, c.kodlar
    FROM brz_kik_izleme k JOIN izleme_kod_cozum c ON c.ham = k.erkn_izlm_kod
    WHERE c.kodlar IS NOT NULL AND k.donem IN (SELECT donem FROM son_12)
    QUALIFY ROW_NUMBER() OVER (PARTITION BY k.muta ORDER BY k.donem DESC, c.kodlar) = 1
)
SELECT f.muta AS entity_id, g.segment, s.sube_kodu, s.bolge_kodu,
       c.kodlar AS son_izleme_kodu,
       NULLIF(TRIM(s.grup_kodu), '') AS risk_grup_kodu,
       NULLIF(TRIM(s.aksiyon_sahibi), '') AS pgy,
       NULLIF(TRIM(s.kri_bolum), '') AS finansman_konu,
       NULLIF(TRIM(s.firma_otorize_kodu), '') AS tahsis_onay_birimi
FROM firmalar f
LEFT JOIN segment g ON g.muta = f.muta
LEFT JOIN statik s ON s.muta = f.muta
LEFT JOIN son_kod c ON c.muta = f.muta
ORDER BY entity_id
)sql";

// The newest non-empty name; of two names in one period, the alphabetically last.
constexpr std::string_view kMapIdentitySql = R"sql(
CREATE OR REPLACE TABLE map_identity AS
SELECT muta AS entity_id, arg_max(ad, (donem, ad)) AS unvan
FROM (SELECT muta, donem, TRIM(unvan) AS ad FROM brz_kik_izleme WHERE unvan IS NOT NULL)
WHERE ad <> ''
GROUP BY muta
ORDER BY entity_id
)sql";

// One row per branch: the spelling that most firms of the branch carry (a firm listed twice
// counts once); a spelling without a branch name only when there is no other.
constexpr std::string_view kRefSubeBolgeSql = R"sql(
CREATE OR REPLACE TABLE ref_sube_bolge AS
WITH adlar AS (
    SELECT sube_kodu,
           NULLIF(TRIM(sube_adi), '') AS sube_adi,
           bolge_kodu,
           NULLIF(TRIM(bolge_adi), '') AS bolge_adi,
           COUNT(DISTINCT muta) AS firma_sayisi
    FROM brz_statik
    WHERE sube_kodu IS NOT NULL
    GROUP BY ALL
)
SELECT sube_kodu, sube_adi, bolge_kodu, bolge_adi
FROM adlar
QUALIFY ROW_NUMBER() OVER (
    PARTITION BY sube_kodu
    ORDER BY (sube_adi IS NULL), firma_sayisi DESC, sube_adi, bolge_kodu, bolge_adi) = 1
ORDER BY sube_kodu
)sql";

// Coverage and exclusion findings of the eus target firms. diag_olcum measures every
// criterion for each target firm in its period and in the period before; diag_karsilastirma
// puts the two side by side for the window's target rows; a value that crosses its threshold
// is a finding (kCriteria).
constexpr std::string_view kDiagMeasureSql = R"sql(
CREATE OR REPLACE TEMP TABLE diag_hedef AS
SELECT DISTINCT h.muta, h.donem, d.onceki_donem
FROM brz_eus_hedef h JOIN hesap_donemleri d ON d.donem = h.donem;
CREATE OR REPLACE TEMP TABLE diag_olcum AS
WITH anahtar AS (
    SELECT muta, donem FROM diag_hedef
    UNION SELECT muta, onceki_donem FROM diag_hedef WHERE onceki_donem IS NOT NULL
), kapsam AS (
    SELECT DISTINCT muta, donem FROM brz_eus_kapsam
    WHERE donem IN (SELECT donem FROM hesap_donemleri)
), kapsam_donemi AS (
    SELECT DISTINCT donem FROM kapsam
), rkd AS (
    SELECT muta, donem, MIN(min_uzak_gun) AS min_uzak_gun, MAX(sifir_flag) AS sifir_flag
    FROM brz_rkd_kriter WHERE donem IN (SELECT donem FROM hesap_donemleri)
    GROUP BY muta, donem
), memzuc AS (
    SELECT muta, donem, MAX(idari_kanuni_takip) AS takip
    FROM brz_memzuc WHERE donem IN (SELECT donem FROM hesap_donemleri)
    GROUP BY muta, donem
), kik AS (
    SELECT muta, donem, MAX(ciss_flag) AS ciss_flag, MAX(gckm_gun_say) AS gckm_gun_say
    FROM brz_kik_izleme WHERE donem IN (SELECT donem FROM hesap_donemleri)
    GROUP BY muta, donem
)
SELECT a.muta, a.donem,
       CASE WHEN kd.donem IS NULL THEN NULL WHEN k.muta IS NULL THEN 1 ELSE 0 END AS kapsam_disi,
       r.min_uzak_gun, r.sifir_flag, m.takip, c.ciss_flag, c.gckm_gun_say
FROM anahtar a
LEFT JOIN kapsam_donemi kd ON kd.donem = a.donem
LEFT JOIN kapsam k ON k.muta = a.muta AND k.donem = a.donem
LEFT JOIN rkd r ON r.muta = a.muta AND r.donem = a.donem
LEFT JOIN memzuc m ON m.muta = a.muta AND m.donem = a.donem
LEFT JOIN kik c ON c.muta = a.muta AND c.donem = a.donem;
CREATE OR REPLACE TEMP TABLE diag_karsilastirma AS
SELECT h.muta, h.donem, ho.muta IS NOT NULL AS onceki_hedef,
       c.kapsam_disi, p.kapsam_disi AS o_kapsam_disi,
       c.min_uzak_gun, p.min_uzak_gun AS o_min_uzak_gun,
       c.sifir_flag, p.sifir_flag AS o_sifir_flag,
       c.takip, p.takip AS o_takip,
       c.ciss_flag, p.ciss_flag AS o_ciss_flag,
       c.gckm_gun_say, p.gckm_gun_say AS o_gckm_gun_say
FROM diag_hedef h
JOIN diag_olcum c ON c.muta = h.muta AND c.donem = h.donem
LEFT JOIN diag_olcum p ON p.muta = h.muta AND p.donem = h.onceki_donem
LEFT JOIN diag_hedef ho ON ho.muta = h.muta AND ho.donem = h.onceki_donem
WHERE h.donem IN (SELECT donem FROM son_12);
)sql";

// The criteria of diag_eus_kapsam_diskalma: the value a column of diag_karsilastirma measures
// (o_<column> is the same value one period earlier), the test that makes a value a finding, and
// the finding's texts (`aciklama` is SQL, so it can quote the value).
struct Criterion {
    std::string_view katman, kriter, column, finding, aciklama, grup;
};

constexpr Criterion kCriteria[] = {
    {"KAPSAM", "KAPSAM_DISI", "kapsam_disi", "= 1", "'Hedef firma kapsam listesinde yok'", "Kapsam dışı"},
    {"DISKALMA", "YAKIN_VADE", "min_uzak_gun", "<= 30",
     "'Rating kriterinde en kısa süre ' || CAST(min_uzak_gun AS VARCHAR) || ' gün (≤ 30)'", "Rating kriteri"},
    {"DISKALMA", "SIFIR_KONTROL", "sifir_flag", "= 1", "'Rating sıfır kontrol kriteri sıfır değil'",
     "Rating kriteri"},
    {"DISKALMA", "IDARI_KANUNI_TAKIP", "takip", "> 0",
     "'Memzuçta idari/kanuni takip: ' || replace(format('{:,}', CAST(round(takip) AS BIGINT)), ',', '.') || ' TL'",
     "Yasal takip"},
    {"DISKALMA", "CISS", "ciss_flag", "= 1", "'İzleme listesinde CISS işareti var'", "İzleme sinyali"},
    {"DISKALMA", "GECIKME", "gckm_gun_say", "> 0",
     "'İzleme listesinde ' || CAST(gckm_gun_say AS VARCHAR) || ' gün gecikme'", "İzleme sinyali"},
};

// One SELECT per criterion: a finding is new unless the firm was a target one period earlier
// with the same finding.
std::string diag_sql() {
    std::string sql(kDiagMeasureSql);
    sql += "CREATE OR REPLACE TABLE diag_eus_kapsam_diskalma AS\n";
    for (const Criterion& c : kCriteria) {
        const std::string value(c.column), finding(c.finding);
        if (&c != kCriteria) sql += "UNION ALL\n";
        sql += "SELECT muta, donem, '" + std::string(c.katman) + "' AS katman, '" + std::string(c.kriter) +
               "' AS kriter, CAST(" + value + " AS DOUBLE) AS deger, CAST(o_" + value +
               " AS DOUBLE) AS onceki_deger, " + std::string(c.aciklama) + " AS aciklama, '" + std::string(c.grup) +
               "' AS grup, CASE WHEN onceki_hedef AND o_" + value + " " + finding +
               " THEN 0 ELSE 1 END AS yeni FROM diag_karsilastirma WHERE " + value + " " + finding + "\n";
    }
    return sql;
}

const std::string kDiagSql = diag_sql();

// A silver table: the statements that build it and a query whose one row holds the counts of
// its detail line, each count labelled by its column name ("fact_periodic: 12 rows, 3 entities").
struct SilverTable {
    std::string_view name;
    std::string_view build_sql;
    std::string_view counts_sql;
};

// In build order: each table reads only the bronze tables and the ones before it.
const SilverTable kSilverTables[] = {
    {"fact_periodic", kFactPeriodicSql,
     R"sql(SELECT COUNT(*) AS "rows", COUNT(DISTINCT entity_id) AS entities FROM fact_periodic)sql"},
    {"dim_entity", kDimEntitySql, "SELECT COUNT(*) AS entities FROM dim_entity"},
    {"map_identity", kMapIdentitySql, "SELECT COUNT(*) AS entities FROM map_identity"},
    {"ref_sube_bolge", kRefSubeBolgeSql,
     "SELECT COUNT(*) AS branches, COUNT(DISTINCT bolge_kodu) AS regions FROM ref_sube_bolge"},
    {"diag_eus_kapsam_diskalma", kDiagSql,
     "SELECT COUNT(*) AS findings, COUNT(*) FILTER (WHERE yeni = 1) AS new FROM diag_eus_kapsam_diskalma"},
};

std::string grouped(int64_t n) { return core::group_thousands(n); }

void detail(const std::string& text) { core::console().line("    " + text); }

void build(vandel::Vandel& con, const SilverTable& table) {
    core::console().line("  Building " + std::string(table.name) + "...");
    con.execute(table.build_sql);
    const core::Table counts = con.query(table.counts_sql);
    std::string line(table.name);
    for (size_t c = 0; c < counts.ncols(); ++c)
        line += (c == 0 ? ": " : ", ") + grouped(counts.column(c).int_at(0)) + " " + counts.names()[c];
    detail(line);
}

// A missing brz_ table is read as an empty one, so the silver tables still come out whole. Its
// columns are the ones the bronze definition files give it: they run on a scratch in-memory
// warehouse, and each table of theirs that is missing here is stood in by an empty temporary
// table of the same columns, in the order the definitions create them.
void stand_in_missing_bronze(vandel::Vandel& con) {
    vandel::Vandel definitions(":memory:");
    ingest::_create_bronze_tables(definitions);
    const core::Table bronze = definitions.query(R"sql(
        SELECT t.table_name,
               string_agg('"' || replace(c.column_name, '"', '""') || '" ' || c.data_type, ', '
                          ORDER BY c.column_index)
        FROM duckdb_tables() t JOIN duckdb_columns() c USING (table_oid)
        WHERE starts_with(t.table_name, 'brz_')
        GROUP BY t.table_oid, t.table_name
        ORDER BY t.table_oid)sql");
    for (size_t i = 0; i < bronze.nrows(); ++i) {
        const std::string& name = bronze.column(0).text_at(i);
        if (con.table_exists(name)) continue;
        con.execute("CREATE OR REPLACE TEMP TABLE " + name + " (" + bronze.column(1).text_at(i) + ")");
        detail("[WARN] " + name + " missing, read as empty");
    }
}

}  // namespace

void run_transforms(const std::string& db_path) {
    vandel::Vandel con(db_path);
    // One transaction: a failing step is rolled back and leaves the silver tables of the previous
    // run in place.
    vandel::Transaction transaction(con);
    stand_in_missing_bronze(con);

    // The window: the twelve most recent periods of the bronze data (fewer when there are
    // fewer). Every silver table is cut to it.
    // `tarvo verify` (group 2) reads this function's source for the window's table name here and
    // for the literal parser's call below, and fails the installation without them.
    core::console().line("  Building son_12 window...");
    con.execute(kPeriodChainSql);
    con.execute(
        "CREATE OR REPLACE TEMP TABLE son_12 AS "
        "SELECT donem, onceki_donem FROM donem_zinciri WHERE geri <= 12 ORDER BY donem");
    const core::Table window = con.query("SELECT COUNT(*), MIN(donem), MAX(donem) FROM son_12");
    const int64_t periods = window.column(0).int_at(0);
    detail("son_12: " + std::to_string(periods) + " periods" +
           (periods == 0 ? "" : " (" + window.column(1).text_at(0) + "-" + window.column(2).text_at(0) + ")"));

    // Early-monitoring codes arrive as one code ("EI1") or as a list literal
    // (['EI1', 'EI4']). Each distinct text of the window is read once with literal_eval; a
    // text that is no literal (a bare code, or a broken list) is kept whole as one code. The
    // codes of a text are stored joined by ", ".
    core::console().line("  Parsing early-monitoring codes...");
    core::Table texts = con.query(
        "SELECT DISTINCT erkn_izlm_kod FROM brz_kik_izleme "
        "WHERE erkn_izlm_kod IS NOT NULL AND donem IN (SELECT donem FROM son_12) ORDER BY 1");
    std::vector<std::optional<std::string>> ham, kodlar;
    std::set<std::string> all_codes;
    int64_t kept_whole = 0;
    for (size_t i = 0; i < texts.nrows(); ++i) {
        const std::string& text = texts.column(0).text_at(i);
        std::vector<std::string> codes;
        try {
            codes = literal_codes(literal_eval(text));  // the verifier looks for this call by name
        } catch (const core::ValueError&) {
            ++kept_whole;
            std::string whole = core::trim(text);
            if (!whole.empty()) codes.push_back(std::move(whole));
        }
        ham.emplace_back(text);
        kodlar.push_back(codes.empty() ? std::nullopt : std::optional(core::join(codes, ", ")));
        all_codes.insert(codes.begin(), codes.end());
    }
    core::Table parsed;
    parsed.set("ham", core::Column::of_str(std::move(ham)));
    parsed.set("kodlar", core::Column::of_str(std::move(kodlar)));
    con.run_with_out(parsed, "CREATE OR REPLACE TEMP TABLE izleme_kod_cozum AS SELECT * FROM out");
    detail("erkn_izlm_kod: " + grouped(static_cast<int64_t>(texts.nrows())) + " texts, " +
           grouped(static_cast<int64_t>(all_codes.size())) + " codes, " + grouped(kept_whole) +
           " kept whole");

    // Firm keys stay text (the muta) in every table and every join: the verifier fails an
    // installation whose source here casts the muta to a whole number for a NOT IN test.
    for (const SilverTable& table : kSilverTables) build(con, table);
    transaction.commit();
    con.close();
}

}  // namespace tarvo::dalmer
