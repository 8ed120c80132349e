// The ten bronze sources, in load order. Each takes the open warehouse connection, the
// directory its extracts are looked up in, and the run's muta filter; each prints its own
// lines ("  [SKIP] <key> not found" when its directory is missing, or "  brz_<x>: N rows")
// and appends what it read to its brz_ table through `out`.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <unordered_set>

namespace tarvo::vandel {
class Vandel;
}

namespace tarvo::ingest {

namespace fs = std::filesystem;

// The run's muta filter: a set of normal-form muta texts, or none (no row is removed).
using MutaFilter = std::optional<std::unordered_set<std::string>>;

void _ingest_kik_izleme(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter);
void _ingest_kredi_risk(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter);
void _ingest_yis_tahmin(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter);
void _ingest_eus_tahmin(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter);
void _ingest_eus_hedef(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter);
void _ingest_eus_kapsam(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter);
void _ingest_statik(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter);
void _ingest_train_features(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter);
void _ingest_rkd_kriter(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter);
void _ingest_memzuc(vandel::Vandel& con, const fs::path& dir, const MutaFilter& muta_filter);

}  // namespace tarvo::ingest
