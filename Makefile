# make test: installs what is missing, builds both builds and the sanitizer
# build, and runs every test (Windows tests under Wine).
# make demo: shows the updater's engine at work on sample files.
# make bench-patches: plpack diff against bsdiff and xdelta3 on real pairs of
# executables fetched from npm (not part of make test).

JOBS ?= $(shell nproc)
CMAKE_GEN := -G Ninja
HOST := build/host
WIN := build/win
ASAN := build/asan

.PHONY: all deps build test test-host test-asan test-win demo bench bench-patches clean

all: build

deps:
	@cmake/install-deps.sh

$(HOST)/build.ninja: | deps
	cmake -S . -B $(HOST) $(CMAKE_GEN)
$(WIN)/build.ninja: | deps
	cmake -S . -B $(WIN) $(CMAKE_GEN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
$(ASAN)/build.ninja: | deps
	cmake -S . -B $(ASAN) $(CMAKE_GEN) -DPLUPDATE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug

build: deps $(HOST)/build.ninja $(WIN)/build.ninja $(ASAN)/build.ninja
	cmake --build $(HOST) -j $(JOBS)
	cmake --build $(WIN) -j $(JOBS)
	cmake --build $(ASAN) -j $(JOBS)

test: build
	cd $(HOST) && ctest --output-on-failure -j $(JOBS)
	cd $(ASAN) && ctest --output-on-failure -j $(JOBS)
	cmake/with-xvfb.sh sh -c 'cd $(WIN) && ctest --output-on-failure -j $(JOBS)'

demo: build
	tools/demo.sh

bench: deps $(HOST)/build.ninja
	cmake --build $(HOST) -j $(JOBS) --target plbench
	$(HOST)/bench/plbench

bench-patches: deps $(HOST)/build.ninja
	cmake --build $(HOST) -j $(JOBS) --target plpack
	bench/patch_pairs.sh $(HOST)

clean:
	rm -rf build
