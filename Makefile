# Thin wrapper around CMake. `make run` talks to the sample ghost, `make test`
# installs what is missing, builds everything and runs every test.
BUILD      ?= build
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
GHOST      ?= examples/ghost/
CMAKE_ARGS ?=

.PHONY: all build run test bootstrap clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_ARGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/tools/shiori-term $(GHOST)

bootstrap:
	scripts/bootstrap

test: bootstrap
	cmake -S . -B $(BUILD) $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)
