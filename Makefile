# Thin wrapper around CMake. `make run` talks to the sample ghost, `make test`
# installs what is missing, builds everything and runs every test.
BUILD      ?= build
WIN32_BUILD ?= build-win32
WIN64_BUILD ?= build-win64
BENCH_BUILD ?= build-bench
NPM_BUILD  ?= build-npm
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
	NPM_BUILD=$(NPM_BUILD) scripts/bootstrap

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
	  -DWIN64_BUILD_DIR=$(abspath $(WIN64_BUILD)) -DGHOST_NPM_DIR=$(abspath $(NPM_BUILD))
	cmake --build $(BUILD) -j $(JOBS)
	scripts/vm/build-image
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@echo "32-bit DLLs in the VM: $$(cat $(BUILD)/win32-vm/result)"
	$(MAKE) test-asan
	$(MAKE) fuzz FUZZ_SECONDS=10 FUZZ_FLAGS=--fresh

# The 32-bit DLLs under 32-bit Wine in a VM (scripts/vm, tests/win32/vm),
# compared with the Linux libraries. vm-image builds the VM image when the
# cache has none for the current recipe (as root; a few minutes).
.PHONY: vm-image test-win32-vm
vm-image: bootstrap
	scripts/vm/build-image

test-win32-vm: vm-image
	$(MAKE) win32
	cmake -S . -B $(BUILD) $(CMAKE_ARGS) -DWIN32_BUILD_DIR=$(abspath $(WIN32_BUILD))
	cmake --build $(BUILD) -j $(JOBS) --target shiori makoto makoto-table shiori-seal \
	  win32_host_linux win32_proxy_host_linux
	cd $(BUILD) && ctest --output-on-failure -R '^win32_vm_'
	@cat $(BUILD)/win32-vm/result

# Benchmarks: an optimised build of their own, the synthetic ghost, one table.
bench:
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DGHOST_BUILD_BENCH=ON \
	  -DGHOST_BUILD_TESTS=OFF -DGHOST_BUILD_TOOLS=OFF
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	bench/run $(BENCH_BUILD)

clean:
	rm -rf $(BUILD) $(WIN32_BUILD) $(WIN64_BUILD) $(NPM_BUILD)

# Hardening: every unit and end-to-end test again, built with AddressSanitizer
# and UndefinedBehaviorSanitizer; and each fuzz target (clang, libFuzzer) for
# FUZZ_SECONDS from its seed corpus in fuzz/corpus/.
ASAN_BUILD   ?= build-asan
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_FLAGS   ?=

.PHONY: test-asan fuzz clean-hardening

# Built without optimisation: compiling with the sanitizers at -O2 costs
# several times as much as the tests then save.
test-asan:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug $(CMAKE_ARGS) -DGHOST_SANITIZE=address,undefined \
	  -DGHOST_NPM_DIR=$(abspath $(NPM_BUILD))
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

fuzz:
	fuzz/run-fuzz --build $(FUZZ_BUILD) --seconds $(FUZZ_SECONDS) --jobs $(JOBS) $(FUZZ_FLAGS)

clean: clean-hardening
clean-hardening:
	rm -rf $(ASAN_BUILD) $(FUZZ_BUILD)
