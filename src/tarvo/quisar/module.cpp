// Registers the module "tarvo.quisar": the feature-information object `FI` and the source text
// of its files.
#include "tarvo/embedded/tarvo_quisar.hpp"
#include "tarvo/modules/registry.hpp"
#include "tarvo/quisar/fi.hpp"

namespace tarvo::quisar {

void register_module(modules::Registry& r) {
    modules::Module& m = r.add(modules::Module("tarvo.quisar"));
    m.add("FI", feature_information());
    m.add_sources(embedded::tarvo_quisar);
}

}  // namespace tarvo::quisar
