# Lumidesk: every target installs what is missing, then builds.
BUILD ?= build
JOBS ?= $(shell nproc)
CTEST_ENV = QT_QPA_PLATFORM=offscreen

.PHONY: all deps build run demo test clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	$(BUILD)/src/lumidesk

demo: build
	$(BUILD)/tools/lumidesk-demo

test: build
	cd $(BUILD) && $(CTEST_ENV) ctest --output-on-failure -j$(JOBS)

clean:
	rm -rf $(BUILD)
