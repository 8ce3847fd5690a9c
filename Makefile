# The two commands a newcomer needs: `make run` and `make test`.
# Both install what is missing first (Debian/Ubuntu, through apt-get).

JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build package run screenshot bench soak test test-linux test-fuzz windows test-windows wine-tests-32 wine-tests-64 screenshot-windows bench-tick bench-windows format clean

all: build

deps:
	@scripts/install-deps

build: deps
	cmake --preset linux
	cmake --build --preset linux -j $(JOBS)

# The Debian package: build/linux/ksv_<version>_<architecture>.deb.
package: build
	cmake --build --preset linux --target package

# Opens the window. Without a display (or when DISPLAY does not answer) it runs
# in a virtual X server: a picture goes to build/ksv-window.png and each saved
# minute is printed until Ctrl-C.
run: build
	@scripts/run-window

# Pictures of both windows, taken in a virtual X server (Xvfb), under docs/.
screenshot: build screenshot-windows
	@scripts/screenshot build/linux/src/ksv docs/ksv-window.png

# One minute tick with its save; start-up time and memory against a bare Qt
# window; idle wake-ups (about 3 minutes in all). Not tests: figures to read.
bench: bench-tick
	@bench/window/run build/linux/src/ksv

test-fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	ctest --preset fuzz

test-linux: build
	ctest --preset linux -j $(JOBS)

# The Windows program (32-bit, cross-built), its portable zip and its
# installer (MSI) under dist/.
windows: deps
	cmake --preset windows
	cmake --build --preset windows -j $(JOBS) --target ksv ksv_zip ksv_msi_dist

# The Windows side. The 32-bit program that ships is built with its tests and
# checked as a file; its tests then run under 32-bit Wine. Where 32-bit Wine
# cannot run (scripts/wine-check says why, loudly), the same sources built for
# 64-bit Windows run them under 64-bit Wine instead. Each build tree has its
# own Wine prefix, made by the first run. Either way the steps are the same:
# build everything, check that Wine starts a program of the build, test.
test-windows: deps
	cmake --preset windows
	cmake --build --preset windows -j $(JOBS)
	ctest --preset windows -R '^ksv_exe_file$$'
	@scripts/wine-check build/windows "the 64-bit build runs the Windows tests instead"; \
	case $$? in \
	    0) $(MAKE) --no-print-directory wine-tests-32 ;; \
	    1) $(MAKE) --no-print-directory wine-tests-64 ;; \
	    *) exit 1 ;; \
	esac

# The two ways, on a built `windows` tree, without asking whether 32-bit Wine
# runs here. The 64-bit way builds its own tree and checks it first.
wine-tests-32:
	ctest --preset windows -E '^ksv_exe_file$$'

wine-tests-64:
	cmake --preset windows-tests
	cmake --build --preset windows-tests -j $(JOBS)
	@scripts/wine-check build/windows-tests
	ctest --preset windows-tests

# The Win32 window under Wine, as a PNG: the 32-bit program where 32-bit Wine
# runs, else the 64-bit build of it.
screenshot-windows: deps
	cmake --preset windows
	cmake --build --preset windows -j $(JOBS) --target ksv wine_probe
	@scripts/wine-check build/windows "the picture shows the 64-bit build"; \
	case $$? in \
	    0) scripts/screenshot-windows build/windows ;; \
	    1) cmake --preset windows-tests && \
	       cmake --build --preset windows-tests -j $(JOBS) --target ksv wine_probe && \
	       scripts/screenshot-windows build/windows-tests ;; \
	    *) exit 1 ;; \
	esac

# Ends with ctest's summary of the Linux suite.
test: test-fuzz test-windows test-linux

# Start-up time of ksv.exe against a bare window with the same controls and
# manifest, under Wine: the 32-bit program where 32-bit Wine runs, else the
# 64-bit build of it. Not a test: figures to read (PAIRS=41 by default).
bench-windows: deps
	cmake --preset windows
	cmake --build --preset windows -j $(JOBS) --target ksv wine_probe bench_floor bench_start
	@scripts/wine-check build/windows "the 64-bit build is timed instead"; \
	case $$? in \
	    0) bench/win32/run build/windows ;; \
	    1) cmake --preset windows-tests && \
	       cmake --build --preset windows-tests -j $(JOBS) --target ksv wine_probe bench_floor bench_start && \
	       bench/win32/run build/windows-tests ;; \
	    *) exit 1 ;; \
	esac

# Kills the program 1000 times while it saves; reports any broken or lost count.
soak: build
	@bench/crash/soak build/linux/src/ksv

# How long one minute tick with its save takes (not a test).
bench-tick: build
	build/linux/bench/ksv_minute_tick_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build dist
