// Registers the module "tarvo.pipeline.dalmer": its entries and the source text of its files.
#include <functional>
#include <string>

#include "tarvo/embedded/tarvo_pipeline_dalmer.hpp"
#include "tarvo/modules/registry.hpp"
#include "tarvo/pipeline/dalmer/transforms.hpp"

namespace tarvo::dalmer {

void register_module(modules::Registry& r) {
    modules::Module& m = r.add(modules::Module("tarvo.pipeline.dalmer"));
    m.add_function<void(const std::string&)>(
        "run_transforms", [](const std::string& db_path) { run_transforms(db_path); });
    m.add_sources(embedded::tarvo_pipeline_dalmer);
}

}  // namespace tarvo::dalmer
