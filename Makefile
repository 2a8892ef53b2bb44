# Lumidesk: every target installs what it is missing, then builds.
# Each target states its own settings and has its own build folder: warnings are errors in
# make test and CI, never in a user's make run.
SHELL := /bin/bash
BUILD ?= build
JOBS ?= $(shell nproc)
CTEST_ENV = QT_QPA_PLATFORM=offscreen
USER_CMAKE = -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMIDESK_WERROR=OFF -DLUMIDESK_BENCH=OFF
TEST_CMAKE = -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMIDESK_WERROR=ON -DLUMIDESK_BENCH=OFF
# The sanitized build of the suite under sanitizers.
ASAN_CMAKE = -DCMAKE_BUILD_TYPE=Debug -DLUMIDESK_SANITIZE=ON -DLUMIDESK_WERROR=ON -DLUMIDESK_BENCH=OFF
# Debian's own Python, which has the accessibility bus's bindings.
PYTHON = /usr/bin/python3

.PHONY: all build run demo test test-serial test-asan fuzz test-keys test-wayland bench screenshots \
	package test-debian13 windows test-windows clean

all: build

build:
	@bash scripts/install-deps.sh
	@cmake -S . -B $(BUILD) $(USER_CMAKE) >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	$(BUILD)/src/app/lumidesk

demo: build
	$(BUILD)/tools/lumidesk-demo

# A build folder of its own, so that make run after make test does not build everything again
# with the other warning settings.
test:
	@bash scripts/install-deps.sh test
	@cmake -S . -B $(BUILD)-test $(TEST_CMAKE) >/dev/null
	@cmake --build $(BUILD)-test -j$(JOBS)
	cd $(BUILD)-test && $(CTEST_ENV) ctest --output-on-failure -j$(JOBS) -LE rig

# The desk on the kernel's real serial drivers (8250, cdc_acm and ftdi_sio) in a QEMU guest of
# this release's own kernel, unpacked once into $(BUILD)-test/guest; it shares make test's build.
test-serial:
	@bash scripts/install-deps.sh test rig
	@cmake -S . -B $(BUILD)-test $(TEST_CMAKE) >/dev/null
	@cmake --build $(BUILD)-test -j$(JOBS) --target tst_serialrig
	@bash tests/serial/guest.sh prepare $(BUILD)-test/guest
	cd $(BUILD)-test && $(CTEST_ENV) ctest --output-on-failure -L rig

# The whole suite under AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer.
test-asan:
	@bash scripts/install-deps.sh test
	@cmake -S . -B $(BUILD)-asan $(ASAN_CMAKE) >/dev/null
	@cmake --build $(BUILD)-asan -j$(JOBS)
	cd $(BUILD)-asan && $(CTEST_ENV) \
		ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
		ctest --output-on-failure -j$(JOBS) -LE rig

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

# Enter and Space held down on Exit, a preset button and a Close under a real X server with a
# window manager, while two busy processes load the machine: each acts once.
test-keys:
	@bash scripts/install-deps.sh test xsession keys
	@cmake -S . -B $(BUILD)-test $(TEST_CMAKE) >/dev/null
	@cmake --build $(BUILD)-test -j$(JOBS) --target lumidesk-demo
	tests/desktop/xsession.sh 1600x1000 dbus-run-session -- $(PYTHON) tests/desktop/keys.py \
		$(BUILD)-test/tools/lumidesk-demo

# The demo as a native Wayland client under weston, walked through the accessibility bus by
# actions, texts and values alone; every step is checked by the frames the cards receive.
test-wayland:
	@bash scripts/install-deps.sh test xsession wayland
	@cmake -S . -B $(BUILD)-test $(TEST_CMAKE) >/dev/null
	@cmake --build $(BUILD)-test -j$(JOBS) --target lumidesk-demo
	tests/desktop/waylandsession.sh dbus-run-session -- $(PYTHON) tests/desktop/walk.py \
		$(BUILD)-test/tools/lumidesk-demo

# Start-up, memory, idle cost, latency and scale against a bare-Qt floor, then the same on the
# kernel's real serial drivers in the rig's guest; writes bench/results.md.
bench:
	@bash scripts/install-deps.sh xsession bench rig
	@cmake -S . -B $(BUILD) $(USER_CMAKE) -DLUMIDESK_BENCH=ON >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)
	@bash tests/serial/guest.sh prepare $(BUILD)/guest
	@bash scripts/bench.sh $(BUILD) bench/results.md

# Pictures of a typical desk, the preset details dialog and the help window, for docs/.
screenshots: build
	@bash scripts/install-deps.sh xsession
	@bash scripts/screenshots.sh $(BUILD) docs

# A Debian package from a Release build of its own in $(BUILD)-release/ (stripped, hardened);
# its dependencies are computed from the binaries.
package:
	@bash scripts/install-deps.sh package
	@cmake -S . -B $(BUILD)-release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DLUMIDESK_WERROR=OFF -DLUMIDESK_BENCH=OFF >/dev/null
	@cmake --build $(BUILD)-release -j$(JOBS)
	cd $(BUILD)-release && cpack -G DEB

# What CI checks, run again in a Debian 13 root beside this machine (as root; the root is made
# with debootstrap when missing and kept). Its /dev holds pseudo-terminals and no serial port.
test-debian13:
	bash scripts/debian13.sh bash -c 'make test && make test-serial && bash tests/package/check-package.sh \
		&& make fuzz FUZZ_SECONDS=$(FUZZ_SECONDS) && make test-asan \
		&& make test-keys && make test-wayland'

# The desk for 64-bit Windows, packed with what it needs into $(BUILD)-windows/lumidesk-windows.zip.
# Qt's base module is built for Windows once, from this release's Debian source package, into
# /var/cache/lumidesk (half an hour on two cores) and reused. WINDOWS_WERROR=ON for CI.
WINDOWS_WERROR ?= OFF
windows:
	@bash scripts/install-deps.sh windows
	@bash scripts/windows.sh $(BUILD)-windows $(WINDOWS_WERROR)

# The zip unpacked as an operator would and run under Wine in a private prefix on a private X
# server, COM1 to COM5 on pseudo-terminals and none of this machine's serial ports (see
# tests/windows/wine.sh), driven by keys.
test-windows: windows
	@bash scripts/install-deps.sh xsession wine
	@rm -rf $(BUILD)-windows/test/lumidesk
	@unzip -q $(BUILD)-windows/lumidesk-windows.zip -d $(BUILD)-windows/test
	tests/desktop/xsession.sh 1280x1024 $(PYTHON) tests/windows/wine_desk.py $(BUILD)-windows/test

clean:
	rm -rf $(BUILD) $(BUILD)-test $(BUILD)-asan $(BUILD)-fuzz $(BUILD)-release $(BUILD)-windows
