# Two entry points for a fresh Debian machine: `make run` and `make test`.
# Both install whatever Debian packages are missing, configure and build first.

SHELL     := /bin/bash
BUILD_DIR := build
JOBS      := $(shell nproc 2>/dev/null || echo 2)

PACKAGES := build-essential cmake ninja-build pkg-config \
            qt6-base-dev qt6-qpa-plugins libgl-dev libvulkan-dev \
            libgtest-dev libgmock-dev libbenchmark-dev \
            libgdal-dev libboost-dev libhowardhinnant-date-dev libcli11-dev \
            libopenmpi-dev openmpi-bin clang-format \
            librsvg2-bin file man-db desktop-file-utils lintian

# The fuzz targets are built with clang and its libFuzzer runtime.
FUZZ_PACKAGES := clang libclang-rt-14-dev libomp-14-dev

SUDO := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)

# Fuzzing: each target runs for FUZZ_SECONDS (or FUZZ_RUNS inputs when set), starting from the
# corpus it has grown so far and seeds made from our examples. Inputs that crash, hang or break
# a check are kept in build-fuzz/findings/<target>/.
FUZZ_SECONDS ?= 60
FUZZ_RUNS    ?=
FUZZ_TARGETS := text_independent text_weighted text_bridge text_user_points shapefile
FUZZ_LIMIT    = $(if $(FUZZ_RUNS),-runs=$(FUZZ_RUNS),-max_total_time=$(FUZZ_SECONDS))
# The navigation fuzzer walks the wizard's forms in the sanitizer build for FUZZ_SECONDS, from a
# new first seed each run (a broken walk prints its seed and steps).
NAV_FIRST_SEED ?= $(shell date +%s)
NAV_STEPS      ?= 1000

.PHONY: all deps fuzz-deps install-missing configure build run test bench package sanitize fuzz format clean

all: build

deps:
	@$(MAKE) --no-print-directory install-missing WANTED="$(PACKAGES)"

fuzz-deps:
	@$(MAKE) --no-print-directory install-missing WANTED="$(PACKAGES) $(FUZZ_PACKAGES)"

install-missing:
	@missing=""; \
	for p in $(WANTED); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing packages:$$missing"; \
	  $(SUDO) apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

configure: deps
	@if [ ! -f $(BUILD_DIR)/build.ninja ]; then cmake --preset default; fi

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	./$(BUILD_DIR)/ranvik

# Every test, then every core and form test again under the sanitizers.
test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory sanitize

# The Debian package: build/ranvik_<version>_<arch>.deb.
package: build
	cd $(BUILD_DIR) && cpack

bench: build
	@for b in $(BUILD_DIR)/bench/bench_*; do echo "== $$b"; ./$$b || exit 1; done

# Every core and form test again under AddressSanitizer (with its leak checker) and
# UndefinedBehaviorSanitizer.
sanitize: deps
	@if [ ! -f build-sanitize/build.ninja ]; then cmake --preset sanitize; fi
	cmake --build build-sanitize -j $(JOBS)
	cd build-sanitize && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)

fuzz: fuzz-deps
	@if [ ! -f build-fuzz/build.ninja ]; then cmake --preset fuzz; fi
	cmake --build build-fuzz -j $(JOBS)
	rm -rf build-fuzz/seeds && ./build-fuzz/tests/fuzz/make_fuzz_seeds examples build-fuzz/seeds
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p build-fuzz/corpus/$$t build-fuzz/findings/$$t; \
	  echo "== fuzz_$$t"; \
	  dict=""; case $$t in text_*) dict="-dict=tests/fuzz/text.dict";; esac; \
	  ASAN_OPTIONS=max_malloc_fill_size=0:detect_leaks=0 ./build-fuzz/tests/fuzz/fuzz_$$t $$dict \
	    $(FUZZ_LIMIT) -timeout=10 -rss_limit_mb=4096 -max_len=8192 -print_final_stats=1 \
	    -artifact_prefix=build-fuzz/findings/$$t/ build-fuzz/corpus/$$t build-fuzz/seeds/$$t \
	    2>&1 | grep -E "^(stat::|==[0-9]+==|SUMMARY|Text load|Shapefile load|Done|INFO: Seed)" ; \
	  status=$${PIPESTATUS[0]}; \
	  if [ $$status -ne 0 ]; then echo "fuzz_$$t found a fault: see build-fuzz/findings/$$t"; exit 1; fi; \
	done
	@if [ ! -f build-sanitize/build.ninja ]; then cmake --preset sanitize; fi
	cmake --build build-sanitize -j $(JOBS) --target navigation_fuzz
	@echo "== navigation_fuzz"
	cd build-sanitize && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
	  ./tests/navigation_fuzz --first-seed $(NAV_FIRST_SEED) --seeds 1000000 \
	  --steps $(NAV_STEPS) --seconds $(FUZZ_SECONDS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) build-sanitize build-fuzz
