# One command each: `make run` starts Quillmark on the demo setup, `make test` runs every test.
# Both install the missing Debian packages first.
BUILD   ?= build
JOBS    ?= $(shell nproc)
# Tests run side by side: most of their time is spent waiting on the programs they start.
TEST_JOBS ?= 4
CMAKE   := cmake -G Ninja -Wno-dev
DEMO    := demo

.PHONY: all deps build debug run test test-asan test-tsan thread-safety fuzz bench install deb test-deb clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/release/build.ninja: | deps
	$(CMAKE) -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release

build: deps $(BUILD)/release/build.ninja
	cmake --build $(BUILD)/release -j $(JOBS)

debug: deps
	$(CMAKE) -S . -B $(BUILD)/debug -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(BUILD)/debug -j $(JOBS)

run: build
	cd $(DEMO) && ../$(BUILD)/release/quillmark

test: build
	cd $(BUILD)/release && ctest --output-on-failure --timeout 300 -j $(TEST_JOBS)

# AddressSanitizer with UBSan over the whole suite.
test-asan: deps
	$(CMAKE) -S . -B $(BUILD)/asan -DCMAKE_BUILD_TYPE=Debug -DQUILLMARK_SANITIZE=address
	cmake --build $(BUILD)/asan -j $(JOBS)
	cd $(BUILD)/asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure --timeout 600 -j $(TEST_JOBS)

# ThreadSanitizer over the threaded tests (suites whose name ends in "Threads").
test-tsan: deps
	$(CMAKE) -S . -B $(BUILD)/tsan -DCMAKE_BUILD_TYPE=Debug -DQUILLMARK_SANITIZE=thread
	cmake --build $(BUILD)/tsan -j $(JOBS)
	cd $(BUILD)/tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  ctest --output-on-failure --timeout 600 -R 'Threads\.'

# The core compiled by clang, which checks the lock annotations (-Wthread-safety); compile only, no tests.
thread-safety: deps
	CXX=clang++ $(CMAKE) -S . -B $(BUILD)/clang -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(BUILD)/clang -j $(JOBS) -t quillmark_core

# libFuzzer targets under ASan/UBSan for a bounded time each.
FUZZ_SECONDS ?= 60
fuzz: deps
	CXX=clang++ $(CMAKE) -S . -B $(BUILD)/fuzz -DCMAKE_BUILD_TYPE=Debug -DQUILLMARK_FUZZ=ON -DQUILLMARK_SANITIZE=address
	cmake --build $(BUILD)/fuzz -j $(JOBS)
	scripts/run-fuzzers.sh $(BUILD)/fuzz $(FUZZ_SECONDS)

# The same for ten minutes per target; not in CI.
.PHONY: fuzz-long
fuzz-long:
	$(MAKE) fuzz FUZZ_SECONDS=600

# Interpreter throughput, render speed and peak memory, peak memory of a 100 MB take, spooled line to PDF,
# graphics.
bench: build
	$(BUILD)/release/quillmark_bench
	bench/run.sh $(BUILD)/release
	bench/spool_memory.sh $(BUILD)/release
	bench/spool_queue_cost.sh $(BUILD)/release
	bench/graphics.sh $(BUILD)/release
	bench/texttopdf.sh $(BUILD)/release
	bench/flat_memory.sh $(BUILD)/release

install: build
	cmake --install $(BUILD)/release

# The Debian packages quillmark-tools_<version>_amd64.deb (no Qt) and quillmark_<version>_amd64.deb in
# $(BUILD)/release, and their check: lintian, install each as README says, run the programs, remove.
deb: build
	cd $(BUILD)/release && cpack -G DEB

test-deb: deb
	scripts/test-deb.sh $(BUILD)/release

clean:
	rm -rf $(BUILD)

# The Windows build (cross-compiled with mingw-w64) and its tests under Wine.
.PHONY: windows-deps windows test-windows
windows-deps:
	@scripts/install-windows-deps.sh

windows: windows-deps
	$(CMAKE) -S . -B $(BUILD)/windows -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
	cmake --build $(BUILD)/windows -j $(JOBS)

test-windows: windows
	scripts/test-windows.sh $(BUILD)/windows

# Mutation testing: each fault in scripts/mutants.txt against the unit tests; slow, not in CI.
.PHONY: mutate
mutate: deps
	scripts/mutate.py
