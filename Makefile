# Everything starts here: each target installs what it needs that is missing, then builds.
# `make run` installs only what building and running need; `make test` and the bench targets
# add their own tools.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
JOBS ?= $(shell nproc)
CONFIGURE = cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)
FUZZ_SECONDS ?= 60

WINDOWS_BUILD ?= build-windows
WINEPREFIX_DIR = $(abspath $(WINDOWS_BUILD))/wine-prefix

.PHONY: deps deps-test deps-bench configure build run test bench bench-audio fuzz soak install \
	format clean windows windows-build

deps:
	@./scripts/install-deps run

deps-test:
	@./scripts/install-deps run test

deps-bench:
	@./scripts/install-deps run bench

# A new build folder starts without the tests; `make build` and `make test` add them. A folder
# configured with other CMAKE_FLAGS (remembered in $(BUILD)/.cmake-flags) is configured again.
FLAGS_FILE = $(BUILD)/.cmake-flags
configure:
	@if [ ! -f $(BUILD)/build.ninja ]; then \
	  $(CONFIGURE) -DTICKTAVO_BUILD_TESTS=OFF && echo '$(CMAKE_FLAGS)' > $(FLAGS_FILE); \
	elif [ "$$(cat $(FLAGS_FILE) 2>/dev/null)" != '$(CMAKE_FLAGS)' ]; then \
	  $(CONFIGURE) && echo '$(CMAKE_FLAGS)' > $(FLAGS_FILE); \
	fi

build: deps-test
	$(CONFIGURE) -DTICKTAVO_BUILD_TESTS=ON
	@echo '$(CMAKE_FLAGS)' > $(FLAGS_FILE)
	cmake --build $(BUILD) -j $(JOBS)

run: deps configure
	cmake --build $(BUILD) -j $(JOBS) --target ticktavo
	exec $(BUILD)/app/ticktavo

test: build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure --timeout 300 -j $(JOBS)

bench: deps-bench configure
	cmake --build $(BUILD) -j $(JOBS) --target beat_player_bench export_bench ticktavo
	$(BUILD)/bench/beat_player_bench
	$(BUILD)/bench/export_bench
	python3 bench/window/window_bench.py --app $(BUILD)/app/ticktavo
	python3 bench/window/window_bench.py --app $(BUILD)/app/ticktavo --user ticktavo-bench

bench-audio: deps-bench configure
	./bench/audio/run
	cmake --build $(BUILD) -j $(JOBS) --target ticktavo
	python3 bench/audio/live_vs_export.py --program $(BUILD)/app/ticktavo

# Each fuzz target for FUZZ_SECONDS, built with clang into build-fuzz (see tests/fuzz/).
fuzz:
	@./scripts/install-deps run fuzz
	FUZZ_SECONDS=$(FUZZ_SECONDS) ./scripts/fuzz

# The long runs of the real program under Xvfb (see tests/soak/); about 1 h 40 min.
soak: build
	@./scripts/install-deps soak
	./tests/soak/run

install: deps configure
	cmake --build $(BUILD) -j $(JOBS)
	cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX))

# The Windows build: cross-compiled with mingw-w64 into $(WINDOWS_BUILD)/ticktavo.exe, its
# tests run under Wine, then the smoke test of the real program on a virtual screen.
# `make windows-build` only builds (CI builds it beside other work, then runs the tests).
windows: windows-build
	WINEPREFIX=$(WINEPREFIX_DIR) ./scripts/wine-run --server
	WINEPREFIX=$(WINEPREFIX_DIR) ctest --test-dir $(WINDOWS_BUILD) --output-on-failure \
	  --timeout 300 -j $(JOBS)
	WINEPREFIX=$(WINEPREFIX_DIR) ./tests/windows/smoke $(WINDOWS_BUILD)

windows-build:
	@./scripts/install-deps windows
	@test -f $(WINDOWS_BUILD)/build.ninja || cmake -S . -B $(WINDOWS_BUILD) -G Ninja \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

format: deps-test
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) build-tsan build-asan build-fuzz $(WINDOWS_BUILD)
