# make test: installs what is missing, builds both builds and the sanitizer
# build, and runs every test (Windows tests under Wine).
# make demo: the Windows updater at work under Wine on a demo installation;
# make demo HOST=1: the same with the host build, natively.
# make demo-engine: the patch engine on sample files, on both builds.
# make bench-update: the whole silent update on the host build, timed against
# cp -r of its new files, with 2026, 8026 and 257 large entries, and the
# same updates built for Windows and run under Wine against the host's runs
# (not part of make test).
# make bench-patches: plpack diff against bsdiff and xdelta3 on real pairs of
# executables fetched from npm (not part of make test).
# make fuzz: builds the libFuzzer targets of fuzz/ with clang and runs each
# for FUZZ_SECONDS on a copy of its seed corpus (not part of make test).

JOBS ?= $(shell nproc)
HOST ?=
CMAKE_GEN := -G Ninja
HOST_DIR := build/host
WIN_DIR := build/win
ASAN_DIR := build/asan
FUZZ_DIR := build/fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := $(sort $(basename $(notdir $(wildcard fuzz/*.cpp))))

.PHONY: all deps build test demo demo-engine bench bench-update bench-patches fuzz clean

all: build

deps:
	@cmake/install-deps.sh

# The trees of make test treat warnings as errors; a plain cmake build does
# not. A tree is configured again when this file changes, so that a tree
# made before keeps up with the options given here (a Windows tree reads its
# toolchain file only when it is made, hence --no-warn-unused-cli).
$(HOST_DIR)/build.ninja: Makefile | deps
	cmake -S . -B $(HOST_DIR) $(CMAKE_GEN) -DPLUPDATE_WERROR=ON
$(WIN_DIR)/build.ninja: Makefile | deps
	cmake -S . -B $(WIN_DIR) $(CMAKE_GEN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DPLUPDATE_WERROR=ON \
	  --no-warn-unused-cli
$(ASAN_DIR)/build.ninja: Makefile | deps
	cmake -S . -B $(ASAN_DIR) $(CMAKE_GEN) -DPLUPDATE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DPLUPDATE_WERROR=ON

build: deps $(HOST_DIR)/build.ninja $(WIN_DIR)/build.ninja $(ASAN_DIR)/build.ninja
	cmake --build $(HOST_DIR) -j $(JOBS)
	cmake --build $(WIN_DIR) -j $(JOBS)
	cmake --build $(ASAN_DIR) -j $(JOBS)

test: build
	cd $(HOST_DIR) && ctest --output-on-failure -j $(JOBS)
	cd $(ASAN_DIR) && ctest --output-on-failure -j $(JOBS)
	cmake/with-xvfb.sh sh -c 'cd $(WIN_DIR) && ctest --output-on-failure -j $(JOBS)'

demo: deps $(HOST_DIR)/build.ninja $(if $(HOST),,$(WIN_DIR)/build.ninja)
	cmake --build $(HOST_DIR) -j $(JOBS)
	$(if $(HOST),,cmake --build $(WIN_DIR) -j $(JOBS))
	tools/demo.sh $(if $(HOST),host,win)

demo-engine: deps $(HOST_DIR)/build.ninja $(WIN_DIR)/build.ninja
	cmake --build $(HOST_DIR) -j $(JOBS)
	cmake --build $(WIN_DIR) -j $(JOBS)
	tools/demo-engine.sh

bench: deps $(HOST_DIR)/build.ninja
	cmake --build $(HOST_DIR) -j $(JOBS) --target plbench
	$(HOST_DIR)/bench/plbench

bench-update: deps $(HOST_DIR)/build.ninja $(WIN_DIR)/build.ninja
	cmake --build $(HOST_DIR) -j $(JOBS) --target plpack plapp
	WIN_BUILD=$(WIN_DIR) bench/update_bench.sh $(HOST_DIR)

bench-patches: deps $(HOST_DIR)/build.ninja
	cmake --build $(HOST_DIR) -j $(JOBS) --target plpack
	bench/patch_pairs.sh $(HOST_DIR)

$(FUZZ_DIR)/build.ninja: | deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) $(CMAKE_GEN) -DPLUPDATE_FUZZ=ON

# New inputs and crash reproducers stay in build/fuzz: the seeds are copied.
fuzz: deps $(FUZZ_DIR)/build.ninja
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	@for t in $(FUZZ_TARGETS); do \
	  corpus=$(FUZZ_DIR)/corpus/$$t; mkdir -p $$corpus $(FUZZ_DIR)/artifacts; \
	  cp fuzz/corpus/$$t/* $$corpus/; \
	  echo "== fuzz_$$t for $(FUZZ_SECONDS) s"; \
	  $(FUZZ_DIR)/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_DIR)/artifacts/$$t- $$corpus || exit 1; \
	done

clean:
	rm -rf build
