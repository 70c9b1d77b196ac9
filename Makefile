# make run   installs what is missing, builds, plays the show
# make test  installs what is missing, builds, runs every test
# make web   the show for the browser in build-web/ (make serve-web serves it, make test-web tests it)
BUILD_DIR := build
JOBS := $(shell nproc)

.PHONY: all deps build run test clean web serve-web test-web

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

web: deps
	scripts/web/build.sh

serve-web: web
	scripts/web/serve.sh

test-web: deps
	scripts/web/test.sh

clean:
	rm -rf $(BUILD_DIR) build-web build-wasm
