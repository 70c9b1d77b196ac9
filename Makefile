# make run   installs what is missing, builds, plays the show
# make test  installs what is missing, builds, runs the quick suite
# make windows       builds build-win/k3lvana.exe and build-win/k3lvana-windows.zip (scripts/windows/build.sh)
# make test-windows  runs the Windows build under Wine (tests/windows/test-windows.sh)
# make web           the show for the browser in build-web/ (make serve-web serves it, make test-web tests it)
BUILD_DIR := build
JOBS := $(shell nproc)

.PHONY: all deps build run test bench clean windows test-windows web serve-web test-web

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

windows: deps
	scripts/windows/build.sh

test-windows: windows build
	cmake --build $(BUILD_DIR) -j$(JOBS) --target event_timing
	tests/env/with-test-env.sh tests/windows/test-windows.sh build-win $(BUILD_DIR)

web: deps
	scripts/web/build.sh

serve-web: web
	scripts/web/serve.sh

test-web: build
	scripts/web/test.sh

clean:
	rm -rf $(BUILD_DIR) build-win build-web build-wasm
