# Quick start: `make run` opens the window, `make test` runs every test under the sanitizers.
# Each target first installs the Debian packages its purpose needs (scripts/install-deps).
.PHONY: run release test bench fuzz fuzz-merge package install clean

FUZZ_SECONDS ?= 60
FUZZ_JOBS ?= 1
PREFIX ?= /usr/local

run: release
	@scripts/run-window

# The window and the command line, optimised; no tests, benchmarks or fuzzers.
release:
	@scripts/install-deps run
	@cmake --preset release >/dev/null
	@cmake --build --preset release

test:
	@scripts/install-deps test
	@cmake --preset dev >/dev/null
	@cmake --build --preset dev
	@ctest --preset dev

bench:
	@scripts/install-deps bench
	@cmake --preset bench >/dev/null
	@cmake --build --preset bench
	@scripts/run-benchmarks

# Runs every fuzz target from its committed corpus; new finds stay in build/fuzz/corpus/.
fuzz:
	@scripts/install-deps fuzz
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz
	@scripts/run-fuzzers --jobs $(FUZZ_JOBS) $(FUZZ_SECONDS)

# Adds the finds of earlier runs that reach new code to the committed corpora in fuzz/corpus/.
fuzz-merge:
	@scripts/install-deps fuzz
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz
	@scripts/run-fuzzers --merge-only

package: release
	@scripts/install-deps package
	@cpack --preset deb

# The build stays yours: only the copy into PREFIX asks for sudo, and only when it must.
install: release
	@mkdir -p "$(PREFIX)" 2>/dev/null || true
	@if [ -w "$(PREFIX)" ]; then cmake --install build/release --prefix "$(PREFIX)" --strip; \
	else sudo cmake --install build/release --prefix "$(PREFIX)" --strip; fi

clean:
	@rm -rf build
