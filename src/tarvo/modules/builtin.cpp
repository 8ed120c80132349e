// The modules compiled into this build. Each module's own module.cpp registers its entries
// and its embedded source text; a module left out of the build (the predictor, with
// -DTARVO_WITH_PREDICTOR=OFF) is not listed here, so loading it fails with ModuleNotFoundError.
#include "tarvo/modules/registry.hpp"

namespace tarvo {
void register_package_module(modules::Registry&);
namespace vandel { void register_module(modules::Registry&); }
namespace quisar { void register_module(modules::Registry&); }
namespace lodrin { void register_module(modules::Registry&); }
namespace marts { void register_module(modules::Registry&); }
namespace ingest { void register_module(modules::Registry&); }
namespace dalmer { void register_module(modules::Registry&); }
namespace ronnel { void register_module(modules::Registry&); }
namespace dovrak { void register_module(modules::Registry&); }
#if TARVO_HAVE_PREDICTOR
namespace zavor { void register_module(modules::Registry&); }
#endif
}  // namespace tarvo

namespace tarvo::modules {

Registry& registry() {
    static Registry instance = [] {
        Registry r;
        register_package_module(r);
        vandel::register_module(r);
        quisar::register_module(r);
        lodrin::register_module(r);
        marts::register_module(r);
        ingest::register_module(r);
        dalmer::register_module(r);
        ronnel::register_module(r);
        dovrak::register_module(r);
#if TARVO_HAVE_PREDICTOR
        zavor::register_module(r);
#endif
        return r;
    }();
    return instance;
}

}  // namespace tarvo::modules
