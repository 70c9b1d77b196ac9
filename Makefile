# make run   installs what is missing, builds, plays the show
# make test  installs what is missing, builds, runs every test
BUILD_DIR := build
JOBS := $(shell nproc)

.PHONY: all deps build run test clean

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

clean:
	rm -rf $(BUILD_DIR)
