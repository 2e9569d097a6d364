# Coverage-guided fuzzing of both decoders (clang, libFuzzer, ASan, UBSan).
#   make fuzz                   every target FUZZ_SECONDS seconds (default 60)
#   make fuzz FUZZ_TARGETS=tdr  only some of them (packet, extract, tdr)
#   make fuzz-ci                every target 30 seconds, as CI runs them
# Any finding fails the target; its input is in tests/fuzz/artifacts/.
# tools/install_fuzz_deps.sh installs the compiler and the runtime.
FUZZ_SECONDS ?= 60
FUZZ_BUILD ?= build-fuzz
FUZZ_CXX ?= clang++
FUZZ_TARGETS ?=

.PHONY: fuzz fuzz-ci fuzz-build

fuzz-build:
	cmake -S tests/fuzz -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=$(FUZZ_CXX)
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

fuzz: fuzz-build
	tests/fuzz/run_fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

fuzz-ci:
	$(MAKE) fuzz FUZZ_SECONDS=30
