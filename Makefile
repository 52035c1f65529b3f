# SPDX-License-Identifier: GPL-3.0-or-later
# make run   - install what is missing, build, play
# make test  - install what is missing, build with warnings as errors, run every test
# make check - the fast loop: build and run the unit and window tests only
# make bench - build in release mode and print the performance table
# make package - build the Debian package build/package/zarvoni_<version>_<arch>.deb
# make fuzz  - run each fuzz target for ten minutes

JOBS ?= $(shell nproc)
RUN_DIR := build/run
TEST_DIR := build/test
PACKAGE_DIR := build/package
BENCH_DIR := build/bench
CMAKE_GEN := $(shell command -v ninja >/dev/null 2>&1 && echo -G Ninja)
export JOBS

.PHONY: all run build test check configure-test package bench fuzz deps-run deps-test deps-package \
	deps-bench clean

all: build

deps-run:
	@tools/install-deps run

deps-test:
	@tools/install-deps test

deps-package:
	@tools/install-deps package

deps-bench:
	@tools/install-deps bench

build: deps-run
	cmake -S . -B $(RUN_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_INSTALL_PREFIX=/usr -DZARVONI_BUILD_TESTS=OFF
	cmake --build $(RUN_DIR) -j $(JOBS)

run: build
	@tools/ensure-record-dir "$$(cmake -N -LA $(RUN_DIR) | sed -n 's/^ZARVONI_RECORD_DIR:PATH=//p')"
	$(RUN_DIR)/app/zarvoni

# The test build's game runs the record keeper of the same build, as the installed
# game runs the installed one; the window tests do the file work in-process.
configure-test: deps-test
	cmake -S . -B $(TEST_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DZARVONI_WERROR=ON \
	    -DZARVONI_RECORD_DIR=$(CURDIR)/$(TEST_DIR)/e2e-records \
	    -DZARVONI_KEEPER=$(CURDIR)/$(TEST_DIR)/keeper/zarvoni-keeper

test: configure-test
	cmake --build $(TEST_DIR) -j $(JOBS)
	ctest --test-dir $(TEST_DIR) --output-on-failure -j $(JOBS)
	tools/check-valgrind $(TEST_DIR)
	tools/check-fuzz 30
	tools/check-sanitizers
	tools/check-static $(TEST_DIR)

# The unit and window tests of the same build: no end-to-end, install, valgrind,
# fuzzing, sanitizer or static-analysis step.
check: configure-test
	cmake --build $(TEST_DIR) -j $(JOBS) --target game_tests clock_tests records_tests keeper_tests zarvoni-keeper window_tests
	ctest --test-dir $(TEST_DIR) --output-on-failure -j $(JOBS) -L check

fuzz: deps-test
	tools/check-fuzz 600

# Built by dpkg-buildpackage in a copy of the source tree under build/package.
package: deps-package
	packaging/build-deb $(PACKAGE_DIR)
	@ls -1 $(PACKAGE_DIR)/zarvoni_*.deb

# Release build of its own; the record directory lies inside it, never the real one,
# and the game runs the keeper of this build, as the installed game does.
bench: deps-bench
	cmake -S . -B $(BENCH_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DZARVONI_WERROR=ON \
	    -DZARVONI_BUILD_TESTS=OFF -DZARVONI_BUILD_BENCH=ON \
	    -DZARVONI_RECORD_DIR=$(CURDIR)/$(BENCH_DIR)/records \
	    -DZARVONI_KEEPER=$(CURDIR)/$(BENCH_DIR)/keeper/zarvoni-keeper
	cmake --build $(BENCH_DIR) -j $(JOBS)
	bench/run $(BENCH_DIR)

clean:
	rm -rf build
