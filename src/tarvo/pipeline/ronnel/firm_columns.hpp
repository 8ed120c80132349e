// The firm rows of a dashboard page as columnar JSON, built row by row in the order given until a
// byte budget is used up, so a page never holds more than its size limit allows and the rows left
// out are the last ones of the order (the lowest risks).
//
// The result is written as one JSON text with four members (no surrounding braces):
//   "rows":{"muta":[...],"unvan":[...],"segment":[...],"sube":[...],"bolge":[...],"son_skor":[...],
//           "son_risk":[...],"risk_degisim":[...],the six flags,"neden":[...],["ml_prob","ml_neden"],
//           "diag":[...]}
//   "skor":[[...] per period], "risk":[[...] per period], "bant":["..." per period]
// "sube" and "bolge" are the branch and region names of the row's branch code from the reference
// file; "son_skor" and "risk_degisim" are the latest period's score and risk change; a missing flag
// column counts 0; "ml_prob" and "ml_neden" ("_ml_yi_prob", "_ml_neden") appear only when the rows
// carry them; "diag" holds, per firm, {period: [new finding groups]} from the diagnostic index, or
// null. Risks per period are rounded to whole numbers; "bant" holds one character per firm, the
// band position ("0".."4", see core/score_bands) or "-" for none.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tarvo/core/document.hpp"
#include "tarvo/pipeline/ronnel/branch_names.hpp"

namespace tarvo::ronnel {

// The page's firm columns: each array's cells, every cell after a comma (dropped when written).
struct FirmColumns {
    struct Array {
        std::string name;
        std::string cells;
    };
    std::vector<Array> rows;              // the members of "rows"
    std::vector<std::string> skor, risk;  // the cells of each period
    std::vector<std::string> bant;        // the band characters of each period
    int64_t kept = 0;                     // rows written (a prefix of the order)

    // The four members as JSON text, straight into the page.
    void write_json(std::ostream& os) const;
};

// `order`: row positions of `rows` to write, in page order. `periods`: the text forms of the
// scoreboard's periods, oldest first. `diag_index`: the scoreboard's diagnostic index (or none).
// Rows are written while the JSON stays within `budget` bytes.
FirmColumns build_firm_columns(const core::Table& rows, const std::vector<size_t>& order,
                               const std::vector<std::string>& periods, const BranchNames& names,
                               const core::Document* diag_index, size_t budget);

}  // namespace tarvo::ronnel
