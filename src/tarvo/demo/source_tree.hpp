// A synthetic source tree: the ten kinds of extract the ingest reads, in their delivery
// formats, for a seeded firm population (firm_model.hpp).
//
//   kik_data_ham_csv/Kurumsal_Izleme_Listesi_20YYMM02.csv  monitoring lists: ";" text in
//       Windows-1254; header names vary between deliveries ("Must Ad" / "Cari Hesap Adı" /
//       "UNVAN", "Gckm Gun Say" / "Gckm_Gun_Say", ...); amounts in Turkish number format
//   kredi_db/kurumsal_risk_YYMM.parquet                  credit risk (MUTA as a number, some
//       firms with two credit lines)
//   yis_tahmin_data/YYYY_MM_pred_n_scor.csv              yis scores, probability and label
//   eus_tahmin_data/YYYY_MM_pred_n_scor.csv              eus scores with two decimals
//   eus_hedef_muta/eus_hedef_MUTA_YYYYMM.csv             eus target lists
//   eus_sql_kapsam_muta/eus_kapsam_MUTA_YYYYMM.csv       coverage lists
//   statik_db/statik_bilgiler_YYYYMMDD.txt               static firm data: ";" text in
//       Windows-1254, eleven columns, region code written "11,0"
//   yis_train_data/yis_21_v21_YYMM.parquet               training extract with the segment
//       indicators, newest period only
//   rkd_donem_data/rkd_data_YYMM.parquet                 rating criteria (day and zero-check
//       criteria told apart by their name endings)
//   memzuc_data_donem/memzuc_YYMM.parquet                bureau figures (legal follow-up)
//
// Periods run monthly up to 2512 (the newest). Customer numbers are written with leading zeros
// where the real extracts carry them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

namespace tarvo::demo {

namespace fs = std::filesystem;

// Called with each file's path just before the file is written.
using BeforeWrite = std::function<void(const fs::path& file)>;

// Writes the tree under `root` for `firms` firms and `periods` monthly periods. The ten source
// directories under `root` are removed first (nothing else under `root` is touched), so a
// second call leaves exactly the new tree. The same arguments always give the same extracts.
// ValueError for firms < 1 or periods outside 1..120; OSError when a file cannot be written.
void generate_source_tree(const fs::path& root, int64_t firms, int periods, uint64_t seed,
                          const BeforeWrite& before_write = {});

}  // namespace tarvo::demo
