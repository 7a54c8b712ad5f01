# Thin wrapper around CMake. `make test` and `make run` do all the set-up on a fresh
# Debian 12 machine: they install the Debian packages they need first.

BUILD      ?= build
SAN_BUILD  ?= build-sanitize
TSAN_BUILD ?= build-tsan
JOBS       ?= 2
CMAKE_ARGS ?=
export SANE_CONFIG_DIR := $(CURDIR)/data/sane

.PHONY: all deps build test sanitize tsan bench run screenshots clean

all: build

deps:
	@scripts/install-deps.sh scripts/debian-packages.txt

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

test: build
	scripts/check-floors.sh
	scripts/check-format.sh
	cd $(BUILD) && ctest --no-tests=error --output-on-failure -j$(JOBS) --timeout 600

sanitize: deps
	cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DSU_SANITIZE=ON -DSU_BUILD_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(SAN_BUILD) -j$(JOBS)
	cd $(SAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:fast_unwind_on_malloc=0 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --no-tests=error --output-on-failure -j$(JOBS) --timeout 900

tsan: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DSU_TSAN=ON -DSU_BUILD_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(TSAN_BUILD) -j$(JOBS)
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1 ctest --no-tests=error --output-on-failure -j$(JOBS) --timeout 900

bench: build
	bench/run.sh $(BUILD)

run: build
	scripts/run.sh $(BUILD)

screenshots: build
	scripts/screenshots.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(TSAN_BUILD)
