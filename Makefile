# Everything starts here: `make run` and `make test` install what is missing, then build.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: deps configure build run test bench bench-audio install format clean

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
	$(BUILD)/bench/beat_player_bench
	python3 bench/window/window_bench.py --app $(BUILD)/app/ticktavo
	python3 bench/window/window_bench.py --app $(BUILD)/app/ticktavo --user ticktavo-bench

bench-audio: deps build
	./bench/audio/run

install: deps build
	cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX))

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) build-tsan build-asan
