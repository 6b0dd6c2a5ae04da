# Two set-up commands on a fresh Debian 12 machine:
#   make run    installs what is missing, builds and starts Ombrix
#   make test   installs what is missing, builds and runs every test through CTest
# Optional: make package builds a .deb (build/ombrix_*.deb) to install with apt.
# Further targets for development: bench, bench-build, check-sanitizers, fuzz, format.

BUILD      ?= build
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
SUDO       := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

PACKAGES := g++ cmake ninja-build make pkg-config qt6-base-dev qt6-serialport-dev qt6-svg-dev \
            libqcustomplot-dev libgl-dev googletest libgtest-dev libgmock-dev \
            libbenchmark-dev libmuparser-dev libfftw3-dev clang libclang-rt-14-dev \
            xvfb xauth imagemagick fonts-dejavu-core \
            help2man desktop-file-utils dpkg-dev file libxml2-utils lintian appstream \
            python3-pyvisa python3-pyvisa-py

.PHONY: deps configure build run test model-test package bench bench-build check-sanitizers fuzz format clean

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "No display found: starting Ombrix under xvfb-run"; \
	  xvfb-run -a -s "-screen 0 1280x1024x24" $(BUILD)/ombrix; \
	else $(BUILD)/ombrix; fi

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300

# The main window driven at random by ACTIONS user actions from SEED, every law checked after
# each (200 actions run in `make test`).
ACTIONS ?= 2000
SEED ?= 20261209
model-test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen OMBRIX_MODEL_ACTIONS=$(ACTIONS) OMBRIX_MODEL_SEED=$(SEED) \
	  ./windowmodel_test

# The .deb of the programs, desktop entry, MIME type, AppStream metadata, icon and man pages
# (CPack); `make test` checks it, with lintian.
package: build
	cmake --build $(BUILD) --target package

# The Release build (-O3) of every target: programs, tests, tools and benchmarks. CI builds it
# so that everything keeps building with the optimiser's warnings; `make bench` runs from it.
bench-build: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DOMBRIX_BENCH=ON
	cmake --build build-bench -j $(JOBS)

bench: bench-build
	@for b in build-bench/bench_*; do echo "== $$b"; $$b --benchmark_counters_tabular=true; done

# Whole test suite twice more: AddressSanitizer + UndefinedBehaviorSanitizer, then ThreadSanitizer.
# Debian's Qt is not built with ThreadSanitizer; tools/sanitizers/tsan.supp lists the reports
# inside Qt's own hand-over of queued calls that it cannot follow (see the file). A TSan report
# fails its test at exit (exit code 66) rather than halting, so a test's child processes end too.
# die_after_fork=0: QProcess forks the multi-threaded test to start a child program (the crash
# test's recovery_child), which ThreadSanitizer would otherwise end before its exec.
SAN_CTEST := ctest --output-on-failure -j $(JOBS) --timeout 600

check-sanitizers: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOMBRIX_SANITIZE=address,undefined
	cmake --build build-asan -j $(JOBS)
	cd build-asan && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 $(SAN_CTEST)
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOMBRIX_SANITIZE=thread
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && QT_QPA_PLATFORM=offscreen \
	  TSAN_OPTIONS=suppressions=$(CURDIR)/tools/sanitizers/tsan.supp:second_deadlock_stack=1:die_after_fork=0 \
	  $(SAN_CTEST)

# Each libFuzzer target for FUZZ_SECONDS, starting from the stored corpora in
# tests/fuzz-corpus (new inputs go to build-fuzz/corpus, failing ones to build-fuzz/crashes).
# A crash, leak, undefined behaviour or failed property stops the make.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := settingsfile:14000 calcexpress:4096 reply:4096 simgenerator:4096 linelog:4096 \
                scpi:4096

fuzz: deps
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=clang++ -DOMBRIX_FUZZ=ON
	cmake --build build-fuzz --target fuzz_targets -j $(JOBS)
	@mkdir -p build-fuzz/crashes
	@for tl in $(FUZZ_TARGETS); do \
	  t=$${tl%%:*}; len=$${tl#*:}; mkdir -p build-fuzz/corpus/$$t; \
	  echo "== fuzz_$$t for $(FUZZ_SECONDS) s"; \
	  build-fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -max_len=$$len -print_final_stats=1 \
	    -artifact_prefix=build-fuzz/crashes/$$t- build-fuzz/corpus/$$t tests/fuzz-corpus/$$t \
	    2> build-fuzz/fuzz_$$t.log; rc=$$?; \
	  grep -E '^Done|stat::number_of_executed_units|stat::peak_rss' build-fuzz/fuzz_$$t.log; \
	  if [ $$rc -ne 0 ]; then tail -n 60 build-fuzz/fuzz_$$t.log; \
	    echo "fuzz_$$t failed: input kept in build-fuzz/crashes/"; exit 1; fi; \
	done

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) build-bench build-asan build-tsan build-fuzz
