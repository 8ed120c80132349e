// Diagnostic finding indexes over the warehouse table diag_eus_kapsam_diskalma.
//
// The table can hold tens of millions of findings, so it is never pulled whole:
//   slim index  for every firm and period, the sorted distinct groups of its new findings,
//               aggregated inside the warehouse (one row per firm and period reaches us);
//   full index  every new finding in detail, only for a given list of firms, which are handed
//               to the warehouse through the temporary table _diag_filter (muta VARCHAR).
//
// Both indexes have one shape (the slim one as documents, the full one as JSON text, since a
// portfolio's findings are too many to build as documents first):
//   { "<muta>": { "<donem>": {"bulgular": [finding...], "yeni_gruplar": [group...]} } }
// Firms, and periods within a firm, stand in the order their first row arrives from the
// warehouse: ascending muta, donem (the slim index asks for that order too, so a rerun writes
// the same file). In the slim index "bulgular" is always empty.
//
// A full-index finding has, in this order: "katman", "kriter" (as stored), "aciklama" (only when
// the explanation is present and its text is none of "", "None", "nan"), "deger" and "onceki"
// (only when not null; floats), "grup" (same rule as "aciklama"), "yeni" (integer, 0 when null).
//
// None of these ends the run: every failure is reported and gives an empty mapping.
#pragma once

#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tarvo/core/document.hpp"

namespace tarvo::vandel {
class Vandel;
}

namespace tarvo::marts {

// The slim aggregate sent when the findings table has both grup and yeni (the benchmark times
// it alone too).
inline constexpr std::string_view kSlimByGroup =
    "SELECT CAST(muta AS VARCHAR) AS muta, CAST(donem AS VARCHAR) AS donem,\n"
    "       LIST(DISTINCT grup ORDER BY grup) AS gruplar\n"
    "FROM diag_eus_kapsam_diskalma\n"
    "WHERE yeni = 1 AND grup IS NOT NULL\n"
    "  AND CAST(grup AS VARCHAR) NOT IN ('', 'None', 'nan')\n"
    "GROUP BY muta, donem\n"
    "ORDER BY muta, donem";

// The slim index. Probes the table and its columns, then aggregates by group (columns grup and
// yeni: new findings with a group other than "", "None", "nan") or else by layer (katman); when
// that gives no rows, by COALESCE(grup, katman) over all findings. Rows with a null or empty
// group list add nothing.
//
// The index is built once per connection and kept in the connection's memo: a later call on the
// same open connection runs the probes again and returns the same index, shared (both cost the
// memory of one; writing through either gives it its own copy). Statements run on the
// connection for their effect (execute, executemany) discard the memo. Period entries with
// equal group lists are one shared entry.
//
// Prints one of
//   "  [DIAG] Tablo yok, atlanıyor"              table missing
//   "  [DIAG] Ne grup ne katman kolonu var"       neither grup with yeni nor katman
//   "  [DIAG] Bulgu yok"                         no rows, after the fallback query
//   "  [DIAG] slim: <firms> firma, <rows> firma×dönem"
//   "  [DIAG] slim hata: <message>"              any error (kind and message on standard error)
core::Document _build_diag_index_slim(vandel::Vandel& con);

struct SlimReading;

// The slim index's probes and aggregate started ahead on a connection of their own to `con`'s
// warehouse, so that the warehouse aggregates while the caller goes on with other work on `con`.
// Nothing starts when the run may use one thread (engine_settings.hpp) or when `con` keeps the
// index already. Hand it to _build_diag_index_slim(con, ahead), which reports the index there,
// as the call without it would; until then nothing is printed. The connection is closed before
// the index is handed over (or this object is destroyed).
class SlimIndexAhead {
public:
    explicit SlimIndexAhead(vandel::Vandel& con);
    ~SlimIndexAhead();
    SlimIndexAhead(const SlimIndexAhead&) = delete;
    SlimIndexAhead& operator=(const SlimIndexAhead&) = delete;

private:
    friend core::Document _build_diag_index_slim(vandel::Vandel& con, SlimIndexAhead& ahead);
    std::future<std::shared_ptr<const SlimReading>> reading_;
};
core::Document _build_diag_index_slim(vandel::Vandel& con, SlimIndexAhead& ahead);

// The full index of the firms in `entity_ids` (compared with the text of muta; duplicates and
// keys that match nothing are harmless), as compact JSON ready to sit in a page: strict (a number
// that is not finite is null) and script-safe (see page_json.hpp). An empty list gives "{}" without
// sending any statement; a missing table returns one silently. Otherwise creates and empties
// _diag_filter, fills it in one batched insert (the keys in list order, duplicates included,
// through the connection's `out` table), runs the detail query (new findings only,
// ordered by muta, donem, katman, then stored order) and drops _diag_filter. A failure gives "{}"
// and leaves _diag_filter behind; the next call empties it first.
//
// Prints "  [DIAG] full: <firms> firma, <rows> bulgu", or "  [DIAG] full hata: <message>" on
// any error (kind and message on standard error).
std::string _build_diag_index_full(vandel::Vandel& con, const std::vector<std::string>& entity_ids);

// The older entry point: the slim index, unchanged.
core::Document _build_diag_index(vandel::Vandel& con);

}  // namespace tarvo::marts
