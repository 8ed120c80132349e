// Registers the module "tarvo.pipeline.marts": its entries and the source text of its files.
#include "tarvo/embedded/tarvo_pipeline_marts.hpp"
#include "tarvo/modules/registry.hpp"

namespace tarvo::marts {

void register_module(modules::Registry& r) {
    modules::Module& m = r.add(modules::Module("tarvo.pipeline.marts"));
    m.add_sources(embedded::tarvo_pipeline_marts);
}

}  // namespace tarvo::marts
