// Modules by name: the package's modules compiled into this build, each with named entries
// (operations, classes, objects) and the source text of its files, embedded at build time.
//
//   const Module& m = modules::load("tarvo.pipeline.marts");      // ModuleNotFoundError
//   auto f = m.entry<Sig>("_build_scoreboard");                    // AttributeError
//   std::string src = m.source_of("_build_scoreboard");            // definition text
//
// A module left out of the build (for example the predictor) is simply not registered, so
// loading it fails with "No module named '<name>'".
#pragma once

#include <any>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tarvo/core/errors.hpp"

namespace tarvo::modules {

struct SourceFile {
    std::string path;  // relative to the source root
    std::string_view text;
};

class Module {
public:
    explicit Module(std::string name) : name_(std::move(name)) {}

    const std::string& name() const { return name_; }

    // Adds (or replaces) an entry. Operations are stored as std::function<Sig>.
    void add(std::string name, std::any value) { entries_[std::move(name)] = std::move(value); }
    template <class Sig>
    void add_function(std::string name, std::function<Sig> f) {
        add(std::move(name), std::any(std::move(f)));
    }

    bool has(std::string_view name) const { return entries_.find(name) != entries_.end(); }
    // The entry; AttributeError "module 'x' has no attribute 'y'" when absent.
    const std::any& attr(std::string_view name) const;
    // A typed operation; AttributeError when absent, TypeError when of another signature.
    template <class Sig>
    std::function<Sig> entry(std::string_view name) const {
        const std::any& a = attr(name);
        if (const auto* f = std::any_cast<std::function<Sig>>(&a)) return *f;
        throw core::TypeError("'" + std::string(name) + "' of module '" + name_ +
                              "' has another signature");
    }
    template <class T>
    const T& object(std::string_view name) const {
        const std::any& a = attr(name);
        if (const auto* p = std::any_cast<T>(&a)) return *p;
        throw core::TypeError("'" + std::string(name) + "' of module '" + name_ +
                              "' is of another type");
    }

    void add_source(std::string path, std::string_view text) {
        sources_.push_back({std::move(path), text});
    }
    template <class Array>
    void add_sources(const Array& files) {
        for (const auto& [path, text] : files) add_source(path, text);
    }
    const std::vector<SourceFile>& sources() const { return sources_; }

    // The installed source text of an operation: from the start of its definition's line to its
    // closing brace. OSError "could not get source code" when no definition is found.
    std::string source_of(std::string_view operation) const;

private:
    std::string name_;
    std::map<std::string, std::any, std::less<>> entries_;
    std::vector<SourceFile> sources_;
};

class Registry {
public:
    // Adds a module (replacing one of the same name) and returns it for filling in.
    Module& add(Module m);
    // ModuleNotFoundError "No module named 'x'" when the build has no such module.
    const Module& load(std::string_view name) const;
    bool contains(std::string_view name) const { return modules_.find(name) != modules_.end(); }
    // Takes a module out (tests use it to run without one); false when there is none.
    bool remove(std::string_view name);

private:
    std::map<std::string, Module, std::less<>> modules_;
};

// The registry of this build, filled with the built-in modules on first use.
Registry& registry();
inline const Module& load(std::string_view name) { return registry().load(name); }

// Finds the definition of `operation` in C++ source text: the first occurrence of the name
// followed by a parameter list and a body, from the start of that line to the matching
// closing brace (strings, characters, raw strings and comments are skipped when matching).
// Empty when there is none.
std::string find_definition(std::string_view source, std::string_view operation);

}  // namespace tarvo::modules
