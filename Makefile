# SPDX-License-Identifier: GPL-3.0-or-later
# make run   - install what is missing, build, play
# make test  - install what is missing, build with warnings as errors, run every test
# make check - the fast loop: build and run the unit and window tests only
# make bench - build in release mode and print the performance table
# make package - build the Debian package build/package/zarvoni_<version>_<arch>.deb
# make fuzz  - run each fuzz target for ten minutes
# make windows - zarvoni.exe, its zip and its installer for 64-bit Windows, tried under Wine
# make test-windows - make windows, then the libraries' tests and the game played under Wine
# make test-debian13 - make test on Debian 13, in a root made from Debian's archive

JOBS ?= $(shell nproc)
RUN_DIR := build/run
TEST_DIR := build/test
PACKAGE_DIR := build/package
BENCH_DIR := build/bench
WINDOWS_DIR := build/windows
WINDOWS_HOST_DIR := build/windows-host
WINDOWS_TEST_DIR := build/windows-test
CMAKE_GEN := $(shell command -v ninja >/dev/null 2>&1 && echo -G Ninja)
export JOBS

.PHONY: all run build test check configure-test package bench fuzz windows deps-run deps-test \
	deps-package deps-bench deps-windows clean test-windows bench-windows configure-windows-test \
	test-debian13

all: build

deps-run:
	@tools/install-deps run

deps-test:
	@tools/install-deps test

deps-package:
	@tools/install-deps package

deps-bench:
	@tools/install-deps bench

deps-windows:
	@tools/install-deps windows

build: deps-run
	cmake -S . -B $(RUN_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_INSTALL_PREFIX=/usr -DZARVONI_BUILD_TESTS=OFF
	cmake --build $(RUN_DIR) -j $(JOBS)

run: build
	@tools/ensure-record-dir "$$(cmake -N -LA $(RUN_DIR) | sed -n 's/^ZARVONI_RECORD_DIR:PATH=//p')"
	$(RUN_DIR)/app/zarvoni

# The test build's game runs the record keeper of the same build, as the installed
# game runs the installed one; the window tests do the file work in-process. Its
# setting lies in the build tree too, for the lab scenarios to write.
configure-test: deps-test
	cmake -S . -B $(TEST_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DZARVONI_WERROR=ON \
	    -DZARVONI_RECORD_DIR=$(CURDIR)/$(TEST_DIR)/e2e-records \
	    -DZARVONI_CONFIG_FILE=$(CURDIR)/$(TEST_DIR)/e2e-settings/zarvoni.conf \
	    -DZARVONI_KEEPER=$(CURDIR)/$(TEST_DIR)/keeper/zarvoni-keeper

test: configure-test
	cmake --build $(TEST_DIR) -j $(JOBS)
	ctest --test-dir $(TEST_DIR) --output-on-failure -j $(JOBS)
	tools/check-valgrind $(TEST_DIR)
	tools/check-fuzz 30
	tools/check-sanitizers
	tools/check-static $(TEST_DIR)
	@if tools/windows-qt built; then $(MAKE) --no-print-directory test-windows; else \
	    echo "make test: Windows tests skipped (no Windows Qt here); run make windows once to include them"; fi

# The unit and window tests of the same build: no end-to-end, install, valgrind,
# fuzzing, sanitizer or static-analysis step.
check: configure-test
	cmake --build $(TEST_DIR) -j $(JOBS) --target game_tests clock_tests records_tests keeper_tests zarvoni-keeper zarvoni-risultati window_tests
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
	    -DZARVONI_CONFIG_FILE=$(CURDIR)/$(BENCH_DIR)/settings/zarvoni.conf \
	    -DZARVONI_KEEPER=$(CURDIR)/$(BENCH_DIR)/keeper/zarvoni-keeper
	cmake --build $(BENCH_DIR) -j $(JOBS)
	bench/run $(BENCH_DIR)
	@if tools/windows-qt built; then $(MAKE) --no-print-directory bench-windows; else \
	    echo "make bench: Windows figures skipped (no Windows Qt here); run make windows once to include them"; fi

# Cross-built with MinGW against a static Qt for Windows that tools/windows-qt
# compiles once from Debian's sources (30 to 60 minutes) and keeps in
# ~/.cache/zarvoni-windows. Configured afresh each time (--fresh): a build directory
# keeps the Qt it first found, and a rebuilt Qt lies in another place. The pictures
# are rendered by a tool built for this machine, with its Qt SVG. Dates inside the
# program, the zip and the installer are the release day's, so that building again
# gives the same files.
windows: export SOURCE_DATE_EPOCH ?= $(shell date -u -d "$$(sed -n \
	's/^set(ZARVONI_RELEASE_DATE \([0-9-]*\))$$/\1/p' CMakeLists.txt)" +%s)
windows: deps-windows
	tools/windows-qt build
	cmake -S . -B $(WINDOWS_HOST_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release \
	    -DZARVONI_BUILD_TESTS=OFF
	cmake --build $(WINDOWS_HOST_DIR) -j $(JOBS) --target zarvoni_svgtopng
	"$$(tools/windows-qt prefix)/bin/qt-cmake" --fresh -S . -B $(WINDOWS_DIR) -G Ninja \
	    -DCMAKE_BUILD_TYPE=Release -DZARVONI_BUILD_TESTS=OFF -DZARVONI_WERROR=ON \
	    -DZARVONI_HOST_SVGTOPNG=$(CURDIR)/$(WINDOWS_HOST_DIR)/desktop/zarvoni_svgtopng
	cmake --build $(WINDOWS_DIR) -j $(JOBS) --target zarvoni zarvoni-risultati
	packaging/windows/build-dist $(WINDOWS_DIR)
	packaging/windows/try-under-wine $(WINDOWS_DIR)

# The libraries' tests and bench/minimal, cross-built against the same Qt as zarvoni.exe.
configure-windows-test: windows
	"$$(tools/windows-qt prefix)/bin/qt-cmake" --fresh -S . -B $(WINDOWS_TEST_DIR) -G Ninja \
	    -DCMAKE_BUILD_TYPE=Release -DZARVONI_WERROR=ON -DZARVONI_BUILD_BENCH=ON \
	    -DZARVONI_HOST_SVGTOPNG=$(CURDIR)/$(WINDOWS_HOST_DIR)/desktop/zarvoni_svgtopng

# Under Wine on Xvfb, in a prefix set to Windows 10 that build/windows-test keeps:
# the unit tests of game/, clock/ and records/, then the end-to-end scenarios that
# play zarvoni.exe. make windows has tried the zip and the installer under Wine.
test-windows: deps-test configure-windows-test
	cmake --build $(WINDOWS_TEST_DIR) -j $(JOBS) --target game_tests clock_tests records_tests \
	    lab_computer
	tests/wine/run $(WINDOWS_TEST_DIR) $(WINDOWS_DIR)

# zarvoni.exe against bench/minimal under Wine: start-up, memory, sizes.
bench-windows: deps-bench configure-windows-test
	cmake --build $(WINDOWS_TEST_DIR) -j $(JOBS) --target zarvoni_minimal
	bench/run $(WINDOWS_TEST_DIR) --windows $(WINDOWS_DIR)

# The last commit of this tree, cloned into a Debian 13 root that tools/debian13
# makes with mmdebstrap from Debian's archive and keeps in ~/.cache/zarvoni-debian13
# (as root: it mounts /proc, /sys and /dev there); make test runs inside it. The
# first run takes about an hour on two cores, most of it installing and building.
test-debian13:
	@if [ "$$(id -u)" -eq 0 ]; then tools/debian13 test; else sudo tools/debian13 test; fi

clean:
	rm -rf build
