# The two commands of the README: `make run` and `make test`. Everything else is a helper.
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
NOGUI_BUILD ?= build-nogui
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# Every build that tests: the test targets, and warnings as errors.
TEST_FLAGS = -DBUILD_TESTING=ON -DORVI_WERROR=ON -DORVI_REPORT=ON

.PHONY: all deps build run test test-nogui test-sanitize fuzz format format-check bench demo package clean

all: build

deps:
	@scripts/install-deps.sh test

build: deps
	cmake -S . -B $(BUILD) $(TEST_FLAGS) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

# Only the program and the packages it needs: no test packages, tools, report or test targets.
run:
	@scripts/install-deps.sh build
	cmake -S . -B $(BUILD) -DBUILD_TESTING=OFF -DORVI_REPORT=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target orvi
	@scripts/run.sh $(BUILD)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# orvi-report and the plain C++ layers with neither Qt nor SDL (CI runs it; the BIDS
# validator already ran in `make test`).
test-nogui: deps
	cmake -S . -B $(NOGUI_BUILD) -DORVI_GUI=OFF $(TEST_FLAGS) $(CMAKE_FLAGS)
	cmake --build $(NOGUI_BUILD) -j $(JOBS)
	ctest --test-dir $(NOGUI_BUILD) --output-on-failure -j $(JOBS) -LE bids

test-sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -DORVI_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug $(TEST_FLAGS) $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=0 ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -LE 'e2e|bids|timing|package'

# The Debian package, in $(BUILD): orvi under /opt/orvi with links in /usr/bin.
package: build
	cmake --build $(BUILD) --target package

# Each fuzz harness for FUZZ_SECONDS under ASan and UBSan (clang, libFuzzer); an input that
# finds something is kept in tests/fuzz/corpus/ and the target fails. FUZZ_HARNESSES picks some.
fuzz:
	@scripts/install-deps.sh fuzz
	CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) -DORVI_FUZZ=ON $(TEST_FLAGS) $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target orvi_fuzzers
	tests/fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_HARNESSES)

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

# CI fails on any file that `make format` would change.
format-check:
	@scripts/install-deps.sh format
	clang-format --dry-run -Werror $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(NOGUI_BUILD) $(FUZZ_BUILD)
