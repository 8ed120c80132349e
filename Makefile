# Thin wrapper around CMake and CTest.
#   make                     configure build/ (Release, -O2) and build
#   make test                build, then run every test with CTest
#   make demo                build, then run `tarvo demo`
#   make bench               configure with the benchmarks (TARVO_BUILD_BENCH=ON) and build
#   make install PREFIX=DIR  build and install (bin/tarvo, lib/libduckdb.so, share/tarvo/sql/bronze)
#   make clean               remove build/
# Every target that configures first runs scripts/bootstrap when third_party/duckdb is missing and
# TARVO_DUCKDB_ROOT is unset. CMAKE_ARGS passes extra options to the configure step,
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
	@if [ -z "$$TARVO_DUCKDB_ROOT" ] && { [ ! -f third_party/duckdb/include/duckdb.h ] \
	      || [ ! -f third_party/duckdb/lib/libduckdb.so ]; }; then \
	  echo "third_party/duckdb is missing: running scripts/bootstrap"; \
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
