# Thin wrapper around CMake. `make run` talks to the sample ghost, `make check`
# is the quick loop (Linux build and its tests), `make test` installs what is
# missing, builds everything and runs every test.
BUILD      ?= build
RUN_BUILD  ?= build-run
WIN32_BUILD ?= build-win32
WIN64_BUILD ?= build-win64
BENCH_BUILD ?= build-bench
NPM_BUILD  ?= build-npm
WASM_BUILD ?= build-wasm
WEB_BUILD  ?= build-web
WEB_PORT   ?= 8080
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
GHOST      ?= examples/ghost/
CMAKE_ARGS ?=

.PHONY: all configure build tools run check test bootstrap clean win32 win64 bench wasm web serve

all: build

configure:
	cmake -S . -B $(BUILD) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The two libraries and the authors' tools, in a folder of their own built
# without optimisation (a third of the compile time; the answers are the
# same) and without the tests (no GoogleTest needed): the programs land in
# $(RUN_BUILD)/tools/. Line editing (libedit-dev) and what the checker builds
# with (nlohmann-json3-dev, gettext) are installed first when missing and
# this runs as root.
AUTHOR_TOOLS = shiori-term shiori-check shiori-lsp shiori-seal makoto-table

tools:
	@scripts/bootstrap --line-editing
	cmake -S . -B $(RUN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DGHOST_BUILD_TESTS=OFF $(CMAKE_ARGS) >/dev/null
	cmake --build $(RUN_BUILD) -j $(JOBS) --target shiori makoto $(AUTHOR_TOOLS)

# The terminal host on the sample ghost, once the tools are built.
run: tools
	$(RUN_BUILD)/tools/shiori-term $(GHOST)

# The quick loop: the Linux build and its CTest suites. Installs nothing and
# leaves out the Windows DLLs, Wine, the npm parser, the page and fuzzing.
check: configure
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE 'npm|windows|web'

bootstrap:
	NPM_BUILD=$(NPM_BUILD) scripts/bootstrap

# The deliverables: 32-bit Windows DLLs (i686 mingw-w64), in $(WIN32_BUILD)/.
win32:
	cmake -DSOURCE_DIR=. -DBUILD_DIR=$(WIN32_BUILD) -DTOOLCHAIN=cmake/mingw-i686.cmake \
	  -DJOBS=$(JOBS) -P cmake/build-windows.cmake

# The same sources as 64-bit DLLs: the build the Wine test runs.
win64:
	cmake -DSOURCE_DIR=. -DBUILD_DIR=$(WIN64_BUILD) -DTOOLCHAIN=cmake/mingw-x86_64.cmake \
	  -DJOBS=$(JOBS) -P cmake/build-windows.cmake

# Both libraries as WebAssembly modules (Debian's emscripten, offline), in
# $(WASM_BUILD)/: shiori.js + shiori.wasm, makoto.js + makoto.wasm. Installs
# emscripten and binaryen first when they are missing and this runs as root.
wasm:
	@scripts/bootstrap --wasm
	cmake -DSOURCE_DIR=. -DBUILD_DIR=$(WASM_BUILD) -DJOBS=$(JOBS) -P cmake/build-emscripten.cmake

# The full gate. The Linux build's tests bring both Windows build folders and
# the WebAssembly folder up to date themselves before they read them (CTest
# fixtures). A user other than root with no VM image cached runs every other
# test; the VM tests are then skipped, and the last line says so, why, and
# the command that fixes it.
VM_SKIPPED = $(BUILD)/win32-vm-skipped

test: bootstrap
	cmake -S . -B $(BUILD) $(CMAKE_ARGS) -DWIN32_BUILD_DIR=$(abspath $(WIN32_BUILD)) \
	  -DWIN64_BUILD_DIR=$(abspath $(WIN64_BUILD)) -DGHOST_NPM_DIR=$(abspath $(NPM_BUILD)) \
	  -DWASM_BUILD_DIR=$(abspath $(WASM_BUILD)) -DWEB_BUILD_DIR=$(abspath $(WEB_BUILD))
	cmake --build $(BUILD) -j $(JOBS)
	@rm -f $(VM_SKIPPED)
	scripts/vm/ensure-image --skip-note $(VM_SKIPPED)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) $$(test -f $(abspath $(VM_SKIPPED)) && echo "-E ^win32_vm_")
	@if [ -f $(VM_SKIPPED) ]; then echo "32-bit DLLs in the VM: skipped"; \
	  else echo "32-bit DLLs in the VM: $$(cat $(BUILD)/win32-vm/result)"; fi
	$(MAKE) test-asan
	$(MAKE) fuzz-replay
	@if [ -f $(VM_SKIPPED) ]; then \
	  echo "make test: every test ran except the 32-bit DLLs in the VM, SKIPPED: $$(cat $(VM_SKIPPED))"; fi

# The 32-bit DLLs under 32-bit Wine in a VM (scripts/vm, tests/win32/vm),
# compared with the Linux libraries. vm-image builds the VM image when the
# cache has none for the current recipe (as root; a few minutes), readable by
# every user's test runs.
.PHONY: vm-image test-win32-vm
vm-image: bootstrap
	scripts/vm/ensure-image

test-win32-vm: vm-image
	$(MAKE) win32
	cmake -S . -B $(BUILD) $(CMAKE_ARGS) -DWIN32_BUILD_DIR=$(abspath $(WIN32_BUILD))
	cmake --build $(BUILD) -j $(JOBS) --target shiori makoto makoto-table shiori-seal \
	  win32_host_linux win32_proxy_host_linux
	cd $(BUILD) && ctest --output-on-failure -R '^win32_vm_'
	@cat $(BUILD)/win32-vm/result

# The playground page (web/): the conversation core, the checker and the why
# trace compiled to WebAssembly with Debian's emscripten, and the page's
# static files, in $(WEB_BUILD)/site/. Installs emscripten first, as `make
# wasm` does.
web:
	@scripts/bootstrap --wasm
	cmake -DSOURCE_DIR=web -DBUILD_DIR=$(WEB_BUILD) -DJOBS=$(JOBS) -P cmake/build-emscripten.cmake
	@echo "The page is in $(WEB_BUILD)/site/ (make serve)"

# Serves the page on this machine only, until interrupted.
serve: web
	@echo "Serving the playground at http://127.0.0.1:$(WEB_PORT)/ (Ctrl-C stops)"
	python3 -m http.server $(WEB_PORT) --bind 127.0.0.1 --directory $(WEB_BUILD)/site

# Benchmarks: an optimised build of their own, the synthetic ghost, one table.
bench:
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DGHOST_BUILD_BENCH=ON \
	  -DGHOST_BUILD_TESTS=OFF -DGHOST_BUILD_TOOLS=OFF
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	bench/run $(BENCH_BUILD)

clean:
	rm -rf $(BUILD) $(RUN_BUILD) $(WIN32_BUILD) $(WIN64_BUILD) $(NPM_BUILD) $(WASM_BUILD) \
	  $(WEB_BUILD)

# Hardening: every unit and end-to-end test again, built with AddressSanitizer
# and UndefinedBehaviorSanitizer and the invariant checks; the fuzz targets
# (clang, libFuzzer) replaying their committed inputs, or fuzzing for a while.
ASAN_BUILD   ?= build-asan
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_FLAGS   ?=

.PHONY: test-asan fuzz fuzz-replay clean-hardening

# Built without optimisation: compiling with the sanitizers at -O2 costs
# several times as much as the tests then save.
test-asan:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug $(CMAKE_ARGS) -DGHOST_SANITIZE=address,undefined \
	  -DGHOST_NPM_DIR=$(abspath $(NPM_BUILD))
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

# Every committed seed and regression input once, without mutation: the
# same inputs on every run, so only a change that breaks one of them fails.
fuzz-replay:
	fuzz/run-fuzz --build $(FUZZ_BUILD) --jobs $(JOBS) --replay

# Random fuzzing: each target for FUZZ_SECONDS from its seeds and what
# earlier runs kept.
fuzz:
	fuzz/run-fuzz --build $(FUZZ_BUILD) --seconds $(FUZZ_SECONDS) --jobs $(JOBS) $(FUZZ_FLAGS)

clean: clean-hardening
clean-hardening:
	rm -rf $(ASAN_BUILD) $(FUZZ_BUILD)
