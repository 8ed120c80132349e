// Cleaning shared by every bronze source: muta normalisation, text cleaning, score and
// probability column search, the run's muta filter and the muta preparation every source
// applies to the table it has read.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tarvo/core/column.hpp"
#include "tarvo/core/table.hpp"
#include "tarvo/pipeline/ingest/sources.hpp"

namespace tarvo::ingest {

// Normal-form muta of every cell: the text form, trimmed; "", "nan", "None", "NaN", "<NA>"
// give null; otherwise the number conversion, truncated toward zero and written in plain
// decimal ("00123", "123.0", "1.23e2" -> "123"; "12.7" -> "12"; "-12.7" -> "-12"). A cell
// without a normal form is null. Returns a str column.
core::Column _normalize_muta(const core::Column& series);

// Text cleaning of every cell: the text form, trimmed; "", "nan", "None", "NaN", "<NA>",
// "NaT" (exact, case-sensitive) give null, everything else stays the trimmed text.
// Returns a str column.
core::Column _clean_str_col(const core::Column& series);

// The first column name whose full Unicode lower-cased form contains "skor" / "ihtimal".
std::optional<std::string> _find_skor_col(const std::vector<std::string>& columns);
std::optional<std::string> _find_ihtimal_col(const std::vector<std::string>& columns);

// Keeps the rows whose `muta` text is in the filter, in their order; with no filter the very
// table given is returned unchanged.
core::Table _filter_mutas(core::Table df, const MutaFilter& muta_filter);

// The three steps every source applies first: `muta` becomes the normal form of the column
// `muta_column` (added at the end when absent, replaced in place otherwise), rows with a null
// `muta` are removed, then the muta filter is applied.
core::Table prepare_mutas(core::Table df, std::string_view muta_column, const MutaFilter& muta_filter);

}  // namespace tarvo::ingest
