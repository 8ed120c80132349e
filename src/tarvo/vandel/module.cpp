// Registers the module "tarvo.vandel": the warehouse engine class `Vandel` (as a factory that
// opens a connection) and the source text of its files.
#include "tarvo/embedded/tarvo_vandel.hpp"
#include "tarvo/modules/registry.hpp"
#include "tarvo/vandel/vandel.hpp"

namespace tarvo::vandel {

void register_module(modules::Registry& r) {
    modules::Module& m = r.add(modules::Module("tarvo.vandel"));
    m.add_function<Vandel(const std::string&, Access)>(
        "Vandel", [](const std::string& path, Access access) { return Vandel(path, access); });
    m.add("library_version", std::string(library_version()));
    m.add_sources(embedded::tarvo_vandel);
}

}  // namespace tarvo::vandel
