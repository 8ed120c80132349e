// Registers the module "tarvo.dovrak": the entry `verify_all`, the class `Verifier` (as a
// factory taking the warehouse path) and the source text of its files.
#include "tarvo/dovrak/verifier.hpp"
#include "tarvo/embedded/tarvo_dovrak.hpp"
#include "tarvo/modules/registry.hpp"

namespace tarvo::dovrak {

void register_module(modules::Registry& r) {
    modules::Module& m = r.add(modules::Module("tarvo.dovrak"));
    m.add_function<int(const std::string&)>("verify_all",
                                            [](const std::string& db_path) { return verify_all(db_path); });
    m.add_function<Verifier(const std::string&)>("Verifier",
                                                 [](const std::string& db_path) { return Verifier(db_path); });
    m.add_sources(embedded::tarvo_dovrak);
}

}  // namespace tarvo::dovrak
