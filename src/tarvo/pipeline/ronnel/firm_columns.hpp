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

#include <cstddef>
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

// The firm columns of the rows at `order` (row positions of `rows`, in page order), added a row at
// a time. `periods`: the text forms of the scoreboard's periods, oldest first. `diag_index`: the
// scoreboard's diagnostic index (or none). `rows` and `diag_index` must outlive the builder.
//
// fit(budget) holds the rows, in order, that keep the JSON within `budget` bytes: the same columns
// for a budget whatever was fitted before. A larger budget continues from the rows already made
// (the admin page shows the manager page's firms and more), a smaller one starts over.
class FirmColumnsBuilder {
public:
    FirmColumnsBuilder(const core::Table& rows, std::vector<size_t> order, std::vector<std::string> periods,
                       BranchNames names, const core::Document* diag_index);
    FirmColumnsBuilder(const FirmColumnsBuilder&) = delete;  // holds pointers into itself
    FirmColumnsBuilder& operator=(const FirmColumnsBuilder&) = delete;

    const FirmColumns& fit(size_t budget);

    // Whether this builder makes the columns a builder with these arguments would make.
    bool makes(const core::Table& rows, const std::vector<size_t>& order, const std::vector<std::string>& periods,
               const BranchNames& names, const core::Document* diag_index) const;

private:
    // Plain columns copied cell by cell, and what a row table without the column gives (a missing
    // flag column means no firm carries the flag).
    struct Copied {
        std::string name;
        const core::Column* source;
        const char* missing;
    };
    void start_over();
    void add_cells(size_t r);
    void add_bands(size_t r);

    const core::Table& rows_;
    const std::vector<size_t> order_;
    const std::vector<std::string> periods_;
    const BranchNames names_;
    const core::Document* diag_index_;
    const core::Column* muta_;
    const core::Column* sube_kodu_;
    std::vector<Copied> copied_;
    std::vector<const core::Column*> skor_cols_, risk_cols_;
    FirmColumns out_;
    std::vector<std::string*> every_;  // every array of `out_`, so a row's cells can be taken back as one
    size_t next_ = 0;                  // the position in `order_` of the next row to add
    size_t used_ = 0;                  // bytes of JSON the kept rows take
    std::string key_;                  // the row's firm key, reused
};

}  // namespace tarvo::ronnel
