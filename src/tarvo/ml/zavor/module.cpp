// Registers the module "tarvo.ml.zavor": the entries `prepare_predictions`, which the mart run
// binds by name, and `run_predictions` (its two halves in one), and the source text of its files.
#include "tarvo/embedded/tarvo_ml_zavor.hpp"
#include "tarvo/ml/zavor/predictor.hpp"
#include "tarvo/modules/registry.hpp"

namespace tarvo::zavor {

void register_module(modules::Registry& r) {
    modules::Module& m = r.add(modules::Module("tarvo.ml.zavor"));
    m.add_function<ApplyPredictions(const std::string&)>("prepare_predictions", &prepare_predictions);
    m.add_function<void(const std::string&, core::Document&)>("run_predictions", &run_predictions);
    m.add_sources(embedded::tarvo_ml_zavor);
}

}  // namespace tarvo::zavor
