// Registers the module "tarvo.pipeline.ingest": its entries and the source text of its files.
#include "tarvo/embedded/tarvo_pipeline_ingest.hpp"
#include "tarvo/modules/registry.hpp"
#include "tarvo/pipeline/ingest/driver.hpp"

namespace tarvo::ingest {

using RunIngest = void(const fs::path&, const fs::path&, const DataPaths&, const MutaFilter&);

void register_module(modules::Registry& r) {
    modules::Module& m = r.add(modules::Module("tarvo.pipeline.ingest"));
    m.add_function<RunIngest>("run_ingest", [](const fs::path& source_dir, const fs::path& db_path,
                                               const DataPaths& data_paths, const MutaFilter& muta_filter) {
        run_ingest(source_dir, db_path, data_paths, muta_filter);
    });
    m.add_sources(embedded::tarvo_pipeline_ingest);
}

}  // namespace tarvo::ingest
