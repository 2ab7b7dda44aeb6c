# The two commands of the README: `make run` and `make test`. Both set everything up first.
.PHONY: all deps configure build run test test-default test-asan test-tsan fuzz package screenshots tour bench bench-audio lint format clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	cmake --preset default

# Everything: the program, the renderer, the tests and the benchmarks.
build: configure
	cmake --build --preset default

# Only what running needs: the program and its libraries.
run: configure
	cmake --build --preset default --target vorn
	./build/default/app/vorn

# The whole suite in the normal build, then once more under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the sound tests (the device's queue and owner, the streaming
# scheme on the fake device, a real view on a private PulseAudio) under ThreadSanitizer. One after
# the other: the sound tests are real-time, and a compiler running beside them is a load they are
# not meant to measure.
test: deps
	$(MAKE) test-default
	$(MAKE) test-asan
	$(MAKE) test-tsan

test-default:
	cmake --preset default
	cmake --build --preset default
	ctest --preset default

test-asan:
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

# Only what the sound tests need is built here.
test-tsan:
	cmake --preset tsan
	cmake --build --preset tsan
	ctest --preset tsan

# Every fuzz target (tests/fuzz) for FUZZ_SECONDS each, one after the other, in a build of its own
# with clang, libFuzzer and the address and undefined-behaviour sanitizers. Fails on any finding;
# what a target found is in build/fuzz/fuzz-findings/<target>/.
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz
	bash tests/fuzz/run.sh build/fuzz $(FUZZ_SECONDS)

# The Debian package build/package/vorn_<version>_<arch>.deb (install it with
# `apt install ./build/package/vorn_*.deb`), from the default build: only what the package installs
# is built. tests/packaging checks the package and runs lintian on it.
package: configure
	cmake --build --preset default --target vorn_package_contents
	rm -f build/package/*.deb
	cpack --config build/default/CPackConfig.cmake -B $(CURDIR)/build/package

# The README's screenshots, docs/screenshots/*.png: the package's, taken from the program under a
# private X server by the build. The package test checks that the two are the same.
screenshots: configure
	cmake --build --preset default --target vorn_screenshots
	mkdir -p docs/screenshots
	cp build/default/packaging/screenshots/*.png docs/screenshots/

# The guided tour's pictures, docs/tour/*.png, made by the renderer just built. The test
# tour_pictures checks that the committed ones are what the build makes.
tour: configure
	cmake --build --preset default --target vorn_tour_pictures
	mkdir -p docs/tour
	cp build/default/docs/tour/*.png docs/tour/

# The speed figures: numeric core, drawing, the renderer, start-up. `make bench-audio` adds the
# streaming and idle figures (about twelve minutes on private PulseAudio and PipeWire servers).
bench: build
	./build/default/bench/bench_sim --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
	QT_QPA_PLATFORM=offscreen ./build/default/bench/bench_plot --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
	bash bench/render_wav.sh ./build/default/tools/vorn-render
	bash bench/startup.sh ./build/default/app/vorn 10

bench-audio: build
	bash bench/audio_figures.sh build/default

# The house format and the lint checks (.clang-format, .clang-tidy) over every C++ file.
# clang-tidy reads the compile commands of a build of its own, with every source compiled on its
# own (not in batches); only the generated sources it includes are built there.
lint: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
	cmake --preset lint
	cmake --build build/lint --target autogen
	git ls-files '*.cpp' | xargs -P 2 -n 4 clang-tidy -p build/lint --quiet

# Rewrites every C++ file in the house format.
format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
