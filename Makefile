# Thin wrapper around CMake and CTest.
#   make                     configure build/ (Release, -O2) and build
#   make test                build, then run every test with CTest
#   make demo                build, then run `tarvo demo`
#   make bench               configure with the benchmarks (TARVO_BUILD_BENCH=ON) and build
#   make install PREFIX=DIR  build and install (bin/tarvo, lib/libduckdb.so, share/tarvo/sql/bronze)
#   make clean               remove build/
# Every target that configures first runs scripts/bootstrap when third_party/duckdb is missing and
# TARVO_DUCKDB_ROOT is unset, or when the npm packages of the dashboards are missing. CMAKE_ARGS passes extra options to the configure step,
# e.g. make CMAKE_ARGS=-DTARVO_WERROR=ON; JOBS sets the build's parallelism (default 2).

BUILD_DIR  ?= build
JOBS       ?= 2
CMAKE_ARGS ?=
CONFIGURE   = cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG"

PREFIX     ?= /usr/local

.PHONY: all configure build test demo bench install clean duckdb

all: build

configure: duckdb
	$(CONFIGURE) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# DuckDB comes from scripts/bootstrap unless TARVO_DUCKDB_ROOT names another build.
duckdb:
	@if { [ -z "$$TARVO_DUCKDB_ROOT" ] && { [ ! -f third_party/duckdb/include/duckdb.h ] \
	      || [ ! -f third_party/duckdb/lib/libduckdb.so ]; }; } \
	    || [ ! -f third_party/npm/node_modules/playwright-core/.bootstrap-stamp ] \
	    || [ ! -f third_party/npm/node_modules/echarts/.bootstrap-stamp ] \
	    || [ ! -f third_party/npm/node_modules/tabulator-tables/.bootstrap-stamp ]; then \
	  echo "third_party/duckdb or third_party/npm is missing: running scripts/bootstrap"; \
	  bash scripts/bootstrap </dev/null; \
	fi

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

demo: build
	./$(BUILD_DIR)/tarvo demo

bench: duckdb
	$(CONFIGURE) -DTARVO_BUILD_BENCH=ON $(CMAKE_ARGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

install: duckdb
	$(CONFIGURE) -DCMAKE_INSTALL_PREFIX="$(PREFIX)" $(CMAKE_ARGS)
	cmake --build $(BUILD_DIR) -j $(JOBS) --target install

clean:
	rm -rf $(BUILD_DIR)
