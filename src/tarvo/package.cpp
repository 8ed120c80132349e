// The package module "tarvo": its version, defined once by the build.
#include "tarvo/modules/registry.hpp"
#include "tarvo/version.hpp"

namespace tarvo {

void register_package_module(modules::Registry& r) {
    modules::Module& m = r.add(modules::Module("tarvo"));
    m.add("__version__", std::string(kVersion));
}

}  // namespace tarvo
