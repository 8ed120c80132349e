// What a step threw, as a value a test compares whole: the kind and message of a core::Error,
// or nothing when the step returned.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "tarvo/core/errors.hpp"

namespace tarvo::testing {

struct Thrown {
    core::ErrorKind kind;
    std::string message;
    bool operator==(const Thrown&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Thrown& t) {
    return out << t.kind << ": " << t.message;
}

// The core::Error that `step` throws; none when it returns. Any other exception passes through.
inline std::optional<Thrown> thrown_by(const std::function<void()>& step) {
    try {
        step();
    } catch (const core::Error& e) {
        return Thrown{e.kind(), e.what()};
    }
    return std::nullopt;
}

// Only the kind of what `step` throws.
inline std::optional<core::ErrorKind> kind_thrown_by(const std::function<void()>& step) {
    const std::optional<Thrown> thrown = thrown_by(step);
    if (!thrown) return std::nullopt;
    return thrown->kind;
}

}  // namespace tarvo::testing
