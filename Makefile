# Thin wrapper over CMake. The two set-up commands of the README:
#   make demo   build and run vandrel on the bundled sample
#   make test   build and run every test (SANITIZE=1 for ASan and UBSan,
#               TSAN=1 for ThreadSanitizer)
#   make install PREFIX=DIR   the two commands in DIR/bin, their manual pages
#               in DIR/share/man/man1 (PREFIX defaults to /usr/local)
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
SANITIZE ?= 0
TSAN ?= 0
PREFIX ?= /usr/local

ifeq ($(SANITIZE),1)
BUILD := build-sanitize
CMAKE_FLAGS += -DVANDREL_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
endif
ifeq ($(TSAN),1)
BUILD := build-tsan
CMAKE_FLAGS += -DVANDREL_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
endif

.PHONY: all build demo test bench clean deps test-deps install

all: build

# The Debian packages the build and the tests need, installed when missing.
deps:
	@./tools/install_build_deps.sh
test-deps:
	@./tools/install_build_deps.sh --test

# Configuring every time is cheap and recovers from an interrupted configure.
build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	@./examples/run_demo.sh $(BUILD)

test: test-deps build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The reference: both commands before their writers ran in threads.
BENCH_REFERENCE ?= 30a0fa0
bench: deps
	cmake -S . -B build-bench -DVANDREL_BENCH=ON -DVANDREL_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
	cmake --build build-bench -j $(JOBS)
	JOBS=$(JOBS) ./bench/build_reference.sh build-bench/reference $(BENCH_REFERENCE)
	./bench/run_bench.sh build-bench build-bench/reference/build

# Windows cross-builds, fuzzing and release archives live in their own files.
-include mk/*.mk

clean:
	rm -rf build build-sanitize build-tsan build-bench
