// Registers the module "tarvo.lodrin": its entries and the source text of its files.
#include "tarvo/embedded/tarvo_lodrin.hpp"
#include "tarvo/lodrin/lodrin.hpp"
#include "tarvo/modules/registry.hpp"

namespace tarvo::lodrin {

void register_module(modules::Registry& r) {
    modules::Module& m = r.add(modules::Module("tarvo.lodrin"));
    m.add_function<fs::path()>("get_ddl_path", get_ddl_path);
    m.add_sources(embedded::tarvo_lodrin);
}

}  // namespace tarvo::lodrin
