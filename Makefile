# Everything starts here: `make run` and `make test` install what is missing, then build.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60

WINDOWS_BUILD ?= build-windows
WINEPREFIX_DIR = $(abspath $(WINDOWS_BUILD))/wine-prefix

.PHONY: deps configure build run test bench bench-audio fuzz soak install format clean windows

deps:
	@./scripts/install-deps

configure:
	@test -f $(BUILD)/build.ninja || cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: deps build
	@if [ -x $(BUILD)/app/ticktavo ]; then exec $(BUILD)/app/ticktavo; \
	else exec $(BUILD)/bench/ticktavo_demo; fi

test: deps build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure --timeout 300 -j $(JOBS)

bench: deps build
	@./scripts/install-deps soak
	$(BUILD)/bench/beat_player_bench
	$(BUILD)/bench/export_bench
	python3 bench/window/window_bench.py --app $(BUILD)/app/ticktavo
	python3 bench/window/window_bench.py --app $(BUILD)/app/ticktavo --user ticktavo-bench

bench-audio: deps build
	./bench/audio/run

# Each fuzz target for FUZZ_SECONDS, built with clang into build-fuzz (see tests/fuzz/).
fuzz:
	@./scripts/install-deps fuzz
	FUZZ_SECONDS=$(FUZZ_SECONDS) ./scripts/fuzz

# The long runs of the real program under Xvfb (see tests/soak/); about 1 h 25 min.
soak: deps build
	@./scripts/install-deps soak
	./tests/soak/run

install: deps build
	cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX))

# The Windows build: cross-compiled with mingw-w64, its tests run under Wine.
windows:
	@./scripts/install-deps windows
	@test -f $(WINDOWS_BUILD)/build.ninja || cmake -S . -B $(WINDOWS_BUILD) -G Ninja \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)
	WINEPREFIX=$(WINEPREFIX_DIR) ./scripts/wine-run --server
	WINEPREFIX=$(WINEPREFIX_DIR) ctest --test-dir $(WINDOWS_BUILD) --output-on-failure \
	  --timeout 300 -j $(JOBS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) build-tsan build-asan build-fuzz $(WINDOWS_BUILD)
