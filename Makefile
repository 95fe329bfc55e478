# The README's commands. Every target runs the set-up first.
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 20
HEADLESS = SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
# Leaks of the system libraries are suppressed by the frames that allocated
# them; the fast unwinder stops before those frames inside Mesa's driver, so
# the full one runs on every allocation. Mesa's softpipe renders there: it
# allocates far less than llvmpipe, whose shader compiler makes the full
# unwinding take minutes per test.
LSAN = GALLIUM_DRIVER=softpipe LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0:fast_unwind_on_malloc=0

# Each tree is configured on every run so that a change of its options
# reaches trees made earlier. Warnings are errors only in the trees CI builds
# with a known compiler; the release tree that `make run` builds is lenient.
CONFIGURE = cmake -S . -G Ninja --log-level=WARNING
RELEASE = $(CONFIGURE) -B build/release -DCMAKE_BUILD_TYPE=Release -DVEXA_BENCH=ON -DVEXA_WERROR=OFF
TESTS = $(CONFIGURE) -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXA_BENCH=OFF -DVEXA_WERROR=ON
ASAN = $(CONFIGURE) -B build/asan -DCMAKE_BUILD_TYPE=Debug -DVEXA_SANITIZE=ON -DVEXA_BENCH=OFF -DVEXA_WERROR=ON
FUZZ = CC=clang CXX=clang++ $(CONFIGURE) -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXA_FUZZ=ON -DVEXA_WERROR=ON

.PHONY: setup run release test sanitize bench fuzz clean

setup:
	@bash scripts/setup

# Build and play the bundled example production.
run: release
	cd demo && ../build/release/src/vexa

# Build the player of the release tree.
release: setup
	$(RELEASE)
	cmake --build build/release -j $(JOBS) --target vexa

# Build and pass the whole test suite, headless.
test: setup
	$(TESTS)
	cmake --build build/test -j $(JOBS)
	cd build/test && $(HEADLESS) ctest --output-on-failure -j $(JOBS)

sanitize: setup
	$(ASAN)
	cmake --build build/asan -j $(JOBS)
	cd build/asan && $(HEADLESS) ASAN_OPTIONS=detect_leaks=1 $(LSAN) UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

bench: setup
	$(RELEASE)
	cmake --build build/release -j $(JOBS)
	bash bench/run_all.sh build/release

fuzz: setup
	$(FUZZ)
	cmake --build build/fuzz -j $(JOBS)
	bash fuzz/run_all.sh build/fuzz $(FUZZ_SECONDS)

clean:
	rm -rf build
