// Error kinds: the kind of any exception, and the name a line prints for it.
#include "tarvo/core/errors.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>
#include <vector>

namespace tarvo::core {
namespace {

TEST(ErrorKinds, KindAndPrintedNameOfEachException) {
    struct Case {
        std::function<void()> raise;
        ErrorKind kind;
        std::string name;
    };
    const std::vector<Case> cases{
        {[] { throw TypeError("t"); }, ErrorKind::TypeError, "TypeError"},
        {[] { throw FileNotFoundError("f"); }, ErrorKind::FileNotFoundError, "FileNotFoundError"},
        {[] { throw ReadError("r"); }, ErrorKind::ReadError, "ReadError"},
        {[] { throw Error(ErrorKind::CatalogException, "c"); }, ErrorKind::CatalogException, "CatalogException"},
        {[] { throw Error(ErrorKind::Error, "e"); }, ErrorKind::Error, "Error"},
        {[] { throw std::bad_alloc(); }, ErrorKind::MemoryError, "MemoryError"},
        {[] { throw std::out_of_range("o"); }, ErrorKind::IndexError, "IndexError"},
        {[] { throw std::invalid_argument("i"); }, ErrorKind::ValueError, "ValueError"},
        {[] { throw std::runtime_error("x"); }, ErrorKind::RuntimeError, "RuntimeError"},
    };
    for (const Case& c : cases) {
        try {
            c.raise();
            ADD_FAILURE() << c.name << " not thrown";
        } catch (const std::exception& e) {
            EXPECT_EQ(kind_of(e), c.kind) << c.name;
            EXPECT_EQ(error_kind(e), c.name);
        }
    }
}

}  // namespace
}  // namespace tarvo::core
