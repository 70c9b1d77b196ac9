# make run   installs what is missing, builds, plays the show
# make test  installs what is missing, builds, runs the quick suite
BUILD_DIR := build
JOBS := $(shell nproc)

.PHONY: all deps build run test bench clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j$(JOBS)

run: build
	scripts/run.sh

test: build
	scripts/test.sh

# The benchmarks, built on request (see bench/CMakeLists.txt for how to run them).
bench: build
	cmake --build $(BUILD_DIR) -j$(JOBS) --target scene_bench event_timing

clean:
	rm -rf $(BUILD_DIR)
