// Registers the module "tarvo.pipeline.ronnel": the HTML renderer and its source text.
#include "tarvo/embedded/tarvo_pipeline_ronnel.hpp"
#include "tarvo/modules/registry.hpp"
#include "tarvo/pipeline/ronnel/render.hpp"

namespace tarvo::ronnel {

using RenderHtml = void(const core::Document&, const std::filesystem::path&,
                        const std::filesystem::path&, const RenderOptions&);

void register_module(modules::Registry& r) {
    modules::Module& m = r.add(modules::Module("tarvo.pipeline.ronnel"));
    m.add_function<RenderHtml>("render_html", render_html);
    m.add_sources(embedded::tarvo_pipeline_ronnel);
}

}  // namespace tarvo::ronnel
