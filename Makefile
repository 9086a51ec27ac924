# Two commands do everything on a fresh Debian machine: `make run` and `make test`.
JOBS     ?= $(shell nproc)
GEN      := -G Ninja
DEMO     ?= $(CURDIR)/demo
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1
export CCACHE_SLOPPINESS := include_file_mtime,include_file_ctime,time_macros

.PHONY: all deps build run demo test test-asan test-tsan bench screenshot clean

all: build

deps:
	@scripts/install-deps

build/build.ninja: | deps
	cmake $(GEN) -S . -B build -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1"

build: deps build/build.ninja
	cmake --build build -j $(JOBS)

test: build
	cd build && ctest --output-on-failure -j $(JOBS)

build-asan/build.ninja: | deps
	cmake $(GEN) -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
	      -DQORMAP_SANITIZE=address,undefined

test-asan: deps build-asan/build.ninja
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp \
	    ctest --output-on-failure -j $(JOBS)

build-tsan/build.ninja: | deps
	cmake $(GEN) -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
	      -DQORMAP_SANITIZE=thread

# Only the threaded tests: the rest gain nothing from ThreadSanitizer.
test-tsan: deps build-tsan/build.ninja
	cmake --build build-tsan -j $(JOBS) --target qormap_fixtures \
	    $$(cd build-tsan && ctest -N -L threads | awk '/Test +#/ {print $$3}')
	cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/scripts/tsan.supp" \
	    ctest --output-on-failure -L threads -j $(JOBS)

build-bench/build.ninja: | deps
	cmake $(GEN) -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DQORMAP_BUILD_BENCH=ON -DQORMAP_BUILD_TESTS=OFF

bench: deps build-bench/build.ninja
	cmake --build build-bench -j $(JOBS)
	scripts/run-bench build-bench

demo: build
	scripts/make-demo build $(DEMO)

run: demo
	scripts/run-app build $(DEMO)

screenshot: demo
	scripts/screenshot build $(DEMO) docs/screenshot.png

clean:
	rm -rf build build-asan build-tsan build-bench
