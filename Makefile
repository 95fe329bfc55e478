# The README's commands. Every target runs the set-up first.
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 20
HEADLESS = SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy

.PHONY: setup run test sanitize bench fuzz clean

setup:
	@bash scripts/setup

build/release/build.ninja:
	cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release

build/test/build.ninja:
	cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build/asan/build.ninja:
	cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVEXA_SANITIZE=ON

build/fuzz/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXA_FUZZ=ON

# Build and play the bundled example production.
run: setup build/release/build.ninja
	cmake --build build/release -j $(JOBS) --target vexa
	cd demo && ../build/release/src/vexa

# Build and pass the whole test suite, headless.
test: setup build/test/build.ninja
	cmake --build build/test -j $(JOBS)
	cd build/test && $(HEADLESS) ctest --output-on-failure -j $(JOBS)

sanitize: setup build/asan/build.ninja
	cmake --build build/asan -j $(JOBS)
	cd build/asan && $(HEADLESS) ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

bench: setup build/release/build.ninja
	cmake --build build/release -j $(JOBS)
	bash bench/run_all.sh build/release

fuzz: setup build/fuzz/build.ninja
	cmake --build build/fuzz -j $(JOBS)
	bash fuzz/run_all.sh build/fuzz $(FUZZ_SECONDS)

clean:
	rm -rf build
