# The two commands of the README: `make run` and `make test`. Everything else is a helper.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build run test test-sanitize format bench demo clean

all: build

deps:
	@scripts/install-deps.sh test

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: deps build
	@scripts/run.sh $(BUILD)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -DORVI_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=0 ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -LE e2e

demo: build
	@scripts/install-deps.sh demo
	scripts/demo.sh $(BUILD)

# Measures the built program from outside on Xvfb (photodiode and button box), on fake vertical
# blanks of 60 and 144 Hz, the Present path beside the old one (BENCH_FPS picks rates): tables on
# stdout, every trial's raw times in bench-out/. Options: make bench BENCH_ARGS="--runs 4".
bench: deps build
	@scripts/install-deps.sh bench
	@tools/timing/run.sh $(BUILD) $(BENCH_ARGS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
