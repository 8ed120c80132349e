#include "tarvo/quisar/fi.hpp"

namespace tarvo::quisar {

FI feature_information() {
    return FI{
        .kik_ciss_cols = {"ciss_flag"},
        .rkd_codes = {"PIGD", "PSCD", "A", "ASGD", "AIGD"},
    };
}

}  // namespace tarvo::quisar
