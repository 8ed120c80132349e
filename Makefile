# Thin wrapper around CMake and CTest.
#   make                     configure build/ (Release, -O2) and build
#   make test                build, then run every test with CTest
#   make demo                build, then run `tarvo demo`
#   make bench               configure with the benchmarks (TARVO_BUILD_BENCH=ON) and build
#   make install PREFIX=DIR  build and install (bin/tarvo, lib/libduckdb.so, share/tarvo/sql/bronze)
#   make sanitize            build build-sanitize/ (clang, ASan + UBSan, fuzz targets) and run every test there
#   make fuzz                build build-sanitize/, then run each fuzz target for FUZZ_SECONDS (default 60);
#                            FUZZ_TARGETS picks some (e.g. make fuzz FUZZ_TARGETS=literal_eval FUZZ_SECONDS=600)
#   make clean               remove build/ and build-sanitize/
# Every target that configures first runs scripts/bootstrap when third_party/duckdb is missing and
# TARVO_DUCKDB_ROOT is unset, or when the npm packages of the dashboards are missing. CMAKE_ARGS passes extra options to the configure step,
# e.g. make CMAKE_ARGS=-DTARVO_WERROR=ON; JOBS sets the build's parallelism (default 2).

BUILD_DIR  ?= build
JOBS       ?= 2
CMAKE_ARGS ?=
CONFIGURE   = cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG"

PREFIX     ?= /usr/local

.PHONY: all configure build test demo bench install clean duckdb sanitize sanitize-build fuzz

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

# The checked build: every test and every fuzz target's seeds under AddressSanitizer and
# UndefinedBehaviorSanitizer; any report fails the test that triggered it.
SANITIZE_DIR ?= build-sanitize
SANITIZE_ENV  = ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= $(patsubst fuzz/%_fuzz.cpp,%,$(wildcard fuzz/*_fuzz.cpp))

sanitize-build: duckdb
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" \
	  -DCMAKE_CXX_COMPILER=clang++ -DTARVO_SANITIZE=ON -DTARVO_BUILD_FUZZ=ON $(CMAKE_ARGS)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)

sanitize: sanitize-build
	$(SANITIZE_ENV) ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j $(JOBS)

# Each target grows its corpus in $(SANITIZE_DIR)/fuzz-corpus/<name>, starting from the seeds in
# fuzz/corpus/<name> (which it only reads); a finding is written as crash-* in the current directory.
fuzz: sanitize-build
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(SANITIZE_DIR)/fuzz-corpus/$$t; \
	  echo "fuzz: $$t for $(FUZZ_SECONDS) s"; \
	  $(SANITIZE_ENV) ./$(SANITIZE_DIR)/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 -print_final_stats=1 \
	    $(SANITIZE_DIR)/fuzz-corpus/$$t fuzz/corpus/$$t || exit 1; \
	done

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR)

# --- 32-bit ARM (armhf) cross build --------------------------------------------------------------------------------
#   make arm          cross-build tarvo and tarvo_tests into build-armhf/ (scripts/bootstrap-armhf installs the
#                     cross compiler, qemu-user and the armhf libraries, and builds DuckDB for armhf once)
#   make arm-check    every test and `tarvo demo` under qemu-user, then `tarvo marts` on 1,000,000 firms x 12
#                     periods, with peak memory; long, so not part of .ci/run
#   make deb-armhf    the Debian package of the armhf build, in build-armhf/
ARM_BUILD_DIR ?= build-armhf
ARM_DUCKDB     = $(CURDIR)/third_party/duckdb-armhf
ARM_CONFIGURE  = cmake -S . -B $(ARM_BUILD_DIR) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchain-armhf.cmake \
                 -DTARVO_DUCKDB_ROOT=$(ARM_DUCKDB) -DTARVO_WITH_MDBTOOLS=OFF -DCMAKE_BUILD_TYPE=Release \
                 -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DTARVO_INSTALL_LIBDIR=lib/tarvo

.PHONY: arm-bootstrap arm arm-check deb-armhf

arm-bootstrap:
	bash scripts/bootstrap-armhf </dev/null

# `duckdb` runs scripts/bootstrap when its downloads are missing: the build needs some of them on any target.
arm: duckdb arm-bootstrap
	$(ARM_CONFIGURE) $(CMAKE_ARGS)
	cmake --build $(ARM_BUILD_DIR) -j $(JOBS)

# The 1,000,000-firm warehouse is generated natively (DuckDB's file format is the same on both).
arm-check: arm bench
	bash scripts/arm-check $(ARM_BUILD_DIR) $(BUILD_DIR)

deb-armhf: arm
	cd $(ARM_BUILD_DIR) && cpack -G DEB
