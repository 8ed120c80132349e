// Feature information: the names the product knows for the indicator features a predictor can
// use, registered as the object "FI" of the module "tarvo.quisar".
#pragma once

#include <string>
#include <vector>

namespace tarvo::quisar {

struct FI {
    // CISS indicator columns of the monitoring list as the warehouse holds them
    // (brz_kik_izleme): the ingest folds every source column whose upper-cased name begins
    // with "CISS" into the one flag listed here.
    std::vector<std::string> kik_ciss_cols;
    // Rating-criterion codes: a criterion column of the rating-criteria extract is named
    // "<criterion>_<code>". The day criteria first (their smallest value becomes
    // min_uzak_gun), then the zero-check criteria (any non-zero value sets sifir_flag).
    std::vector<std::string> rkd_codes;
};

// The feature information of this build.
FI feature_information();

}  // namespace tarvo::quisar
