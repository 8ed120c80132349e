// Registers the module "tarvo.pipeline.dalmer": its entries and the source text of its files.
#include "tarvo/embedded/tarvo_pipeline_dalmer.hpp"
#include "tarvo/modules/registry.hpp"

namespace tarvo::dalmer {

void register_module(modules::Registry& r) {
    modules::Module& m = r.add(modules::Module("tarvo.pipeline.dalmer"));
    m.add_sources(embedded::tarvo_pipeline_dalmer);
}

}  // namespace tarvo::dalmer
