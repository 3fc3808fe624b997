# Thin wrapper around CMake. `make run` talks to the sample ghost, `make test`
# installs what is missing, builds everything and runs every test.
BUILD      ?= build
WIN32_BUILD ?= build-win32
WIN64_BUILD ?= build-win64
BENCH_BUILD ?= build-bench
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
GHOST      ?= examples/ghost/
CMAKE_ARGS ?=

.PHONY: all build run test bootstrap clean win32 win64 bench

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_ARGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/tools/shiori-term $(GHOST)

bootstrap:
	scripts/bootstrap

# The deliverables: 32-bit Windows DLLs (i686 mingw-w64), in $(WIN32_BUILD)/.
win32:
	cmake -S . -B $(WIN32_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WIN32_BUILD) -j $(JOBS)

# The same sources as 64-bit DLLs: the build the Wine test runs.
win64:
	cmake -S . -B $(WIN64_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WIN64_BUILD) -j $(JOBS)

test: bootstrap
	$(MAKE) win32 win64
	cmake -S . -B $(BUILD) $(CMAKE_ARGS) -DWIN32_BUILD_DIR=$(abspath $(WIN32_BUILD)) \
	  -DWIN64_BUILD_DIR=$(abspath $(WIN64_BUILD))
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Benchmarks: an optimised build of their own, the synthetic ghost, one table.
bench:
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DGHOST_BUILD_BENCH=ON \
	  -DGHOST_BUILD_TESTS=OFF -DGHOST_BUILD_TOOLS=OFF
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	bench/run $(BENCH_BUILD)

clean:
	rm -rf $(BUILD) $(WIN32_BUILD) $(WIN64_BUILD)
