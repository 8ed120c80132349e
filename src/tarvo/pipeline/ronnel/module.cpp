// Registers the module "tarvo.pipeline.ronnel": its entries and the source text of its files.
#include "tarvo/embedded/tarvo_pipeline_ronnel.hpp"
#include "tarvo/modules/registry.hpp"

namespace tarvo::ronnel {

void register_module(modules::Registry& r) {
    modules::Module& m = r.add(modules::Module("tarvo.pipeline.ronnel"));
    m.add_sources(embedded::tarvo_pipeline_ronnel);
}

}  // namespace tarvo::ronnel
