// Placeholder command line: prints the version until the commands land.
#include <CLI/CLI.hpp>

#include <iostream>
#include <string>
#include <vector>

#include "tarvo/build_probe.hpp"
#include "tarvo/version.hpp"

int main(int argc, char** argv) {
  CLI::App app{"tarvo: credit-monitoring batch pipeline"};
  app.set_version_flag("--version", std::string("tarvo ") + tarvo::kVersion);
  std::vector<std::string> rest;
  app.add_option("command", rest, "command and its arguments (none are available yet)");
  CLI11_PARSE(app, argc, argv);

  std::cout << "tarvo " << tarvo::kVersion << " (DuckDB " << tarvo::duckdb_runtime_version() << ")\n";
  if (!rest.empty()) {
    std::cerr << "tarvo: command '" << rest.front() << "' is not available in this build yet\n";
    return 2;
  }
  return 0;
}
