#include "tarvo/core/errors.hpp"

#include <new>
#include <ostream>

namespace tarvo::core {

std::string_view kind_name(ErrorKind kind) {
    switch (kind) {
#define TARVO_ERROR_KIND_NAME(name) \
    case ErrorKind::name: return #name;
        TARVO_ERROR_KINDS(TARVO_ERROR_KIND_NAME)
#undef TARVO_ERROR_KIND_NAME
    }
    return "Error";  // not reached: every kind has its case
}

std::ostream& operator<<(std::ostream& out, ErrorKind kind) { return out << kind_name(kind); }

ErrorKind kind_of(const std::exception& e) {
    if (auto* err = dynamic_cast<const Error*>(&e)) return err->kind();
    if (dynamic_cast<const std::bad_alloc*>(&e)) return ErrorKind::MemoryError;
    if (dynamic_cast<const std::out_of_range*>(&e)) return ErrorKind::IndexError;
    if (dynamic_cast<const std::invalid_argument*>(&e)) return ErrorKind::ValueError;
    return ErrorKind::RuntimeError;
}

std::string error_kind(const std::exception& e) { return std::string(kind_name(kind_of(e))); }

}  // namespace tarvo::core
