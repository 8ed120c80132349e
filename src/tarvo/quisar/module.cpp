// Registers the module "tarvo.quisar": its entries and the source text of its files.
#include "tarvo/embedded/tarvo_quisar.hpp"
#include "tarvo/modules/registry.hpp"

namespace tarvo::quisar {

void register_module(modules::Registry& r) {
    modules::Module& m = r.add(modules::Module("tarvo.quisar"));
    m.add_sources(embedded::tarvo_quisar);
}

}  // namespace tarvo::quisar
