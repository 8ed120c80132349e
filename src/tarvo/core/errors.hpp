// Error kinds. Every failure is an exception carrying a kind name ("TypeError", "KeyError",
// "CatalogException", ...) that is printed where the pipeline reports a caught error.
#pragma once

#include <stdexcept>
#include <string>

namespace tarvo::core {

class Error : public std::runtime_error {
public:
    Error(std::string kind, const std::string& message)
        : std::runtime_error(message), kind_(std::move(kind)) {}
    const std::string& kind() const { return kind_; }

private:
    std::string kind_;
};

#define TARVO_ERROR_KIND(Name)                                                   \
    struct Name : Error {                                                        \
        explicit Name(const std::string& message) : Error(#Name, message) {}     \
    }

TARVO_ERROR_KIND(TypeError);
TARVO_ERROR_KIND(ValueError);
TARVO_ERROR_KIND(KeyError);
TARVO_ERROR_KIND(IndexError);
TARVO_ERROR_KIND(ModuleNotFoundError);
TARVO_ERROR_KIND(AttributeError);
TARVO_ERROR_KIND(FileNotFoundError);
TARVO_ERROR_KIND(OSError);
TARVO_ERROR_KIND(IsADirectoryError);
TARVO_ERROR_KIND(NotADirectoryError);
TARVO_ERROR_KIND(FileExistsError);
TARVO_ERROR_KIND(UnicodeDecodeError);

#undef TARVO_ERROR_KIND

// Kind name of any exception: the Error's kind, or a generic name for other exceptions.
std::string error_kind(const std::exception& e);

}  // namespace tarvo::core
