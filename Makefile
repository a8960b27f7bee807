# Quick start: `make run` opens the window, `make test` runs every test under the sanitizers.
.PHONY: deps run test bench fuzz clean

FUZZ_SECONDS ?= 60

deps:
	@scripts/install-deps

build/release/build.ninja: CMakeLists.txt CMakePresets.json | deps
	@cmake --preset release >/dev/null

run: deps build/release/build.ninja
	@cmake --build --preset release
	@scripts/run-window

test: deps
	@cmake --preset dev >/dev/null
	@cmake --build --preset dev
	@ctest --preset dev

bench: deps build/release/build.ninja
	@cmake --build --preset release
	@scripts/run-benchmarks

fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz
	@scripts/run-fuzzers $(FUZZ_SECONDS)

clean:
	@rm -rf build
