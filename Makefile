# Varnet: the two commands of the README.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps build run test test-sanitize format-check bench crashtest package clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	./$(BUILD_DIR)/varnet

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The whole suite built with the address and undefined-behaviour sanitizers
# in a folder of its own; a leak fails the test as well.
SANITIZE_BUILD_DIR ?= build-sanitize
test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNET_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD_DIR) -j $(JOBS)
	cd $(SANITIZE_BUILD_DIR) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

# Every C++ source as clang-format (.clang-format) writes it.
format-check: deps
	{ git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests bench fuzz -name '*.cpp' -o -name '*.h'; } \
	  | xargs clang-format --dry-run --Werror

bench: build
	bash bench/scale.sh $(BUILD_DIR)
	./$(BUILD_DIR)/varnet-bench
	./$(BUILD_DIR)/varnet-bench-gui

# Every command that writes, killed at fifty random moments each; the seed
# it prints replays them (./$(BUILD_DIR)/varnet-crashtest --seed S).
crashtest: build
	./$(BUILD_DIR)/varnet-crashtest --trials 50

# Fuzzing with clang and libFuzzer, FUZZ_SECONDS per target, in its own
# build folder; what it finds lands in fuzz/regressions/ (replayed by make test).
FUZZ_SECONDS ?= 600
FUZZ_BUILD_DIR ?= build-fuzz
.PHONY: fuzz
fuzz: deps
	FUZZ_SECONDS=$(FUZZ_SECONDS) bash fuzz/run.sh $(FUZZ_BUILD_DIR)

# The user guide's pictures (docs/guide/*.png), each window drawn by the
# program itself offscreen, then made smaller by optipng.
.PHONY: guide-pictures
guide-pictures: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_DIR) -j $(JOBS) --target varnet-guide-pictures
	./$(BUILD_DIR)/varnet-guide-pictures docs/guide
	optipng -quiet -o2 docs/guide/*.png

# The Debian package varnet_<version>_<arch>.deb in the build folder.
package: build
	cd $(BUILD_DIR) && cpack -G DEB

clean:
	rm -rf $(BUILD_DIR)
