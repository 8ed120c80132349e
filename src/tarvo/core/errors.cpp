#include "tarvo/core/errors.hpp"

#include <new>

namespace tarvo::core {

std::string error_kind(const std::exception& e) {
    if (auto* err = dynamic_cast<const Error*>(&e)) return err->kind();
    if (dynamic_cast<const std::bad_alloc*>(&e)) return "MemoryError";
    if (dynamic_cast<const std::out_of_range*>(&e)) return "IndexError";
    if (dynamic_cast<const std::invalid_argument*>(&e)) return "ValueError";
    return "RuntimeError";
}

}  // namespace tarvo::core
