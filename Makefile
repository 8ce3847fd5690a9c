# The two commands a newcomer needs: `make run` and `make test`.
# Both install what is missing first (Debian/Ubuntu, through apt-get).

JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build run test test-linux test-fuzz bench-tick format clean

all: build

deps:
	@scripts/install-deps

build: deps
	cmake --preset linux
	cmake --build --preset linux -j $(JOBS)

run: build
	@scripts/run-window

test-fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	ctest --preset fuzz

test-linux: build
	ctest --preset linux -j $(JOBS)

# Ends with ctest's summary of the Linux suite.
test: test-fuzz test-linux

# How long one minute tick with its save takes (not a test).
bench-tick: build
	build/linux/bench/ksv_minute_tick_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build dist
