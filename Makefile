# make run   installs what is missing for the show, builds, plays the show
# make test  installs what is missing for the show and its tests, builds with the tests, runs the quick suite
# make studio  installs what is missing for the show, builds, starts the studio (pause, seek, loop, reload)
# (the builds and the test runs: CMakePresets.json, release in build/)
# make test-soak     the whole-show soak (ctest --preset soak)
# make test-asan     the quick suite under AddressSanitizer + UndefinedBehaviorSanitizer (build-asan/)
# make test-tsan     the threaded tests under ThreadSanitizer (build-tsan/)
# make fuzz          the fuzz targets (scripts/fuzz.sh; FUZZ_ARGS="--runs 2000" as in CI)
# make windows       builds build-win/k3lvana.exe and build-win/k3lvana-windows.zip (scripts/windows/build.sh)
# make test-windows  runs the Windows build under Wine (tests/windows/test-windows.sh)
# make web           the show for the browser in build-web/ (make serve-web serves it, make test-web tests it)
# make dist          the releases in dist/: .deb, Windows and web zips, video, SHA256SUMS (scripts/dist.sh)
# make install       the show under PREFIX (default /usr/local), as the .deb lays it out
# The release preset's build directory (CMakePresets.json).
BUILD_DIR := build
# Parallel jobs of every build, here and in the scripts (CMake's own knob, which the scripts'
# library builds follow too): one per core unless set.
export CMAKE_BUILD_PARALLEL_LEVEL ?= $(shell nproc)

.PHONY: all deps deps-test build build-tests run studio test test-soak test-asan test-tsan fuzz bench clean \
        windows test-windows web serve-web test-web dist install test-dist

all: build

# What building and playing the show needs.
deps:
	@scripts/install-deps.sh --show

# That and what the tests, the benchmarks and fuzzing need.
deps-test:
	@scripts/install-deps.sh --test

build: deps
	cmake --preset release
	cmake --build --preset release

# The same build with its tests, which must then be there.
build-tests: deps-test
	cmake --preset release -DK3L_TESTS=ON
	cmake --build --preset release

run: build
	scripts/run.sh

# The studio, run where the show's data is; STUDIO_ARGS passes options (make studio STUDIO_ARGS="--start 2:0").
studio: build
	cd $(BUILD_DIR) && ./k3lvana-studio $(STUDIO_ARGS)

test: build-tests
	ctest --preset quick

test-soak: build-tests
	ctest --preset soak

test-asan: deps-test
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

test-tsan: deps-test
	cmake --preset tsan
	cmake --build --preset tsan
	ctest --preset tsan

fuzz: deps-test
	scripts/fuzz.sh $(FUZZ_ARGS)

# The benchmarks, built on request (see bench/CMakeLists.txt for how to run them).
bench: build-tests
	cmake --build $(BUILD_DIR) --target scene_bench event_timing studio_bench edited_song

windows: deps
	scripts/windows/build.sh

test-windows: windows build-tests
	cmake --build $(BUILD_DIR) --target event_timing
	K3L_TEST_XVFB_OPTIONS="-extension MIT-SHM" tests/env/test-env.sh with tests/windows/test-windows.sh build-win $(BUILD_DIR)

web: deps
	scripts/web/build.sh

serve-web: web
	scripts/web/serve.sh

test-web: build-tests
	scripts/web/test.sh

dist:
	scripts/dist.sh

# The releases checked: the .deb installed and played, the web zip in Chromium, zips and checksums.
test-dist: build-tests
	[ -d tests/web/node_modules/puppeteer-core ] || (cd tests/web && npm install --no-package-lock --no-audit --no-fund --loglevel=error)
	tests/env/test-env.sh with tests/dist/test-dist.sh $(BUILD_DIR)

PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# Every tree the builds above make: the presets' (CMakePresets.json), fuzzing's coverage build, the
# Windows and browser builds, the releases.
clean:
	rm -rf $(BUILD_DIR) build-debug build-asan build-tsan build-fuzz build-fuzz-cov build-win build-web build-wasm dist
