# make run   installs what is missing, builds, plays the show
# make test  installs what is missing, builds, runs every test
# make windows       builds build-win/k3lvana.exe and build-win/k3lvana-windows.zip (scripts/windows/build.sh)
# make test-windows  runs the Windows build under Wine (tests/windows/test-windows.sh)
BUILD_DIR := build
JOBS := $(shell nproc)

.PHONY: all deps build run test clean windows test-windows

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

windows: deps
	scripts/windows/build.sh

test-windows: windows
	cmake --build $(BUILD_DIR) -j2 --target make_sync_module pointer_probe screen_watch event_timing
	tests/env/with-test-env.sh tests/windows/test-windows.sh build-win $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) build-win
