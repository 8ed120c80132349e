// Registers the module "tarvo.dovrak": its entries and the source text of its files.
#include "tarvo/embedded/tarvo_dovrak.hpp"
#include "tarvo/modules/registry.hpp"

namespace tarvo::dovrak {

void register_module(modules::Registry& r) {
    modules::Module& m = r.add(modules::Module("tarvo.dovrak"));
    m.add_sources(embedded::tarvo_dovrak);
}

}  // namespace tarvo::dovrak
