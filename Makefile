# make run   - install what is missing, build, play
# make test  - install what is missing, build with warnings as errors, run every test
# make bench - build in release mode and print the performance table

JOBS ?= $(shell nproc)
RUN_DIR := build/run
TEST_DIR := build/test
BENCH_DIR := build/bench
CMAKE_GEN := $(shell command -v ninja >/dev/null 2>&1 && echo -G Ninja)

.PHONY: all run build test bench deps-run deps-test deps-bench clean

all: build

deps-run:
	@tools/install-deps run

deps-test:
	@tools/install-deps test

deps-bench:
	@tools/install-deps bench

build: deps-run
	cmake -S . -B $(RUN_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_INSTALL_PREFIX=/usr -DZARVONI_BUILD_TESTS=OFF
	cmake --build $(RUN_DIR) -j $(JOBS)

run: build
	@tools/ensure-record-dir "$$(cmake -N -LA $(RUN_DIR) | sed -n 's/^ZARVONI_RECORD_DIR:PATH=//p')"
	$(RUN_DIR)/app/zarvoni

test: deps-test
	cmake -S . -B $(TEST_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DZARVONI_WERROR=ON \
	    -DZARVONI_RECORD_DIR=$(CURDIR)/$(TEST_DIR)/e2e-records
	cmake --build $(TEST_DIR) -j $(JOBS)
	ctest --test-dir $(TEST_DIR) --output-on-failure -j $(JOBS)

# Release build of its own; the record directory lies inside it, never the real one.
bench: deps-bench
	cmake -S . -B $(BENCH_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DZARVONI_WERROR=ON \
	    -DZARVONI_BUILD_TESTS=OFF -DZARVONI_BUILD_BENCH=ON \
	    -DZARVONI_RECORD_DIR=$(CURDIR)/$(BENCH_DIR)/records
	cmake --build $(BENCH_DIR) -j $(JOBS)
	bench/run $(BENCH_DIR)

clean:
	rm -rf build
