// Registers the module "tarvo.pipeline.marts": its entry operations and the source text of its
// files.
#include "tarvo/embedded/tarvo_pipeline_marts.hpp"
#include "tarvo/modules/registry.hpp"
#include "tarvo/pipeline/marts/driver.hpp"
#include "tarvo/pipeline/marts/scoreboard.hpp"

namespace tarvo::marts {

void register_module(modules::Registry& r) {
    modules::Module& m = r.add(modules::Module("tarvo.pipeline.marts"));
    m.add_function<core::Document(vandel::Vandel&)>("_build_scoreboard", _build_scoreboard);
    m.add_function<std::pair<core::Document, core::Document>(
        const std::filesystem::path&, std::optional<std::filesystem::path>, const std::string&)>(
        "run_marts", [](const std::filesystem::path& db_path, std::optional<std::filesystem::path> output_dir,
                        const std::string& file_suffix) { return run_marts(db_path, std::move(output_dir), file_suffix); });
    m.add_sources(embedded::tarvo_pipeline_marts);
}

}  // namespace tarvo::marts
