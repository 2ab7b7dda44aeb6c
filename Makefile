# The two commands of the README: `make run` and `make test`. Both set everything up first.
.PHONY: all deps configure build run test test-default test-asan bench bench-audio clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	cmake --preset default

build: configure
	cmake --build --preset default

run: build
	./build/default/app/vorn

# The whole suite in the normal build, then once more under AddressSanitizer and
# UndefinedBehaviorSanitizer.
test: deps
	$(MAKE) test-default
	$(MAKE) test-asan

test-default:
	cmake --preset default
	cmake --build --preset default
	ctest --preset default

test-asan:
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

# The speed figures: numeric core, drawing, the renderer, start-up. `make bench-audio` adds the
# streaming figures (about two minutes on a private sound server).
bench: build
	./build/default/bench/bench_sim --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
	QT_QPA_PLATFORM=offscreen ./build/default/bench/bench_plot --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
	bash bench/render_wav.sh ./build/default/tools/vorn-render
	bash bench/startup.sh ./build/default/app/vorn 10

bench-audio: build
	bash bench/audio_figures.sh build/default

clean:
	rm -rf build
