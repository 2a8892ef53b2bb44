# Lumidesk: every target installs what is missing, then builds.
SHELL := /bin/bash
BUILD ?= build
JOBS ?= $(shell nproc)
CTEST_ENV = QT_QPA_PLATFORM=offscreen

.PHONY: all deps build run demo test test-asan fuzz monkey bench screenshots package clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	$(BUILD)/src/app/lumidesk

demo: build
	$(BUILD)/tools/lumidesk-demo

# make test and CI treat warnings as errors; make run does not, so that a newer compiler's new
# warning cannot stop a user.
test: CMAKE_FLAGS += -DLUMIDESK_WERROR=ON
test: build
	cd $(BUILD) && $(CTEST_ENV) ctest --output-on-failure -j$(JOBS)

# The sanitized build, shared by the suite below and the monkey.
ASAN_CMAKE = -DCMAKE_BUILD_TYPE=Debug -DLUMIDESK_SANITIZE=ON -DLUMIDESK_WERROR=ON

# The whole suite under AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer.
test-asan: deps
	@cmake -S . -B $(BUILD)-asan $(ASAN_CMAKE) >/dev/null
	@cmake --build $(BUILD)-asan -j$(JOBS)
	cd $(BUILD)-asan && $(CTEST_ENV) \
		ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
		ctest --output-on-failure -j$(JOBS)

# libFuzzer on the number readers for FUZZ_SECONDS; new inputs stay out of the repo.
FUZZ_SECONDS ?= 60
fuzz:
	@bash scripts/install-deps.sh fuzz
	@cmake -S tests/fuzz -B $(BUILD)-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD)-fuzz -j$(JOBS)
	@mkdir -p $(BUILD)-fuzz/found
	@$(BUILD)-fuzz/fuzz_numbers -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
		$(BUILD)-fuzz/found tests/fuzz/corpus/numbers 2>&1 | grep -E 'stat::number_of_executed_units|ERROR|Done'; \
		test $${PIPESTATUS[0]} -eq 0

# A careless operator at the demo built with the sanitizers, under a real X server with a
# window manager, for MONKEY_SECONDS; every frame the cards receive is checked. SEED=S replays.
MONKEY_SECONDS ?= 300
monkey: deps
	@bash scripts/install-deps.sh monkey
	@cmake -S . -B $(BUILD)-asan $(ASAN_CMAKE) >/dev/null
	@cmake --build $(BUILD)-asan -j$(JOBS) --target lumidesk-demo
	MONKEY_SECONDS=$(MONKEY_SECONDS) SEED=$(SEED) tools/xsession.sh 4000x1300 \
		python3 tests/monkey/monkey.py $(BUILD)-asan/tools/lumidesk-demo

# Start-up, memory, idle cost, latency and scale against a bare-Qt floor; writes bench/results.md.
bench: build
	@bash scripts/install-deps.sh bench
	@bash scripts/bench.sh $(BUILD) bench/results.md

# Pictures of a typical desk, the preset details dialog and the help window, for docs/.
screenshots: build
	@bash scripts/screenshots.sh $(BUILD) docs

# A Debian package from a Release build of its own (stripped, hardened); its dependencies
# are computed from the binaries.
package: deps
	@bash scripts/install-deps.sh package
	@cmake -S . -B $(BUILD)-release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
	@cmake --build $(BUILD)-release -j$(JOBS)
	cd $(BUILD)-release && cpack -G DEB

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-fuzz $(BUILD)-release
