# Windows builds with MinGW-w64 (32- and 64-bit), their tests under Wine, and
# the release archives. Needs tools/install_windows_deps.sh once.
#   make windows        build-win32/ and build-win64/: vandrel.exe, vandrel-tdr.exe, tests
#   make test-windows   the test suites under Wine, outputs compared with the Linux build's
#   make dist           dist/: a zip per Windows target, a tar.gz for Linux x86-64
WINDOWS_TARGETS := win32 win64
DIST_VERSION ?= $(shell git describe --tags --always --dirty 2>/dev/null || echo dev)
DIST_NAME := vandrel-$(DIST_VERSION)
DIST_LINUX_BUILD := build-dist-linux
# Static netCDF-C builds, one per target (tools/build_netcdf_static.sh; made
# once, then reused).
NETCDF_STATIC ?= build-netcdf-static

.PHONY: windows test-windows dist clean-windows

windows:
	JOBS=$(JOBS) tools/build_netcdf_static.sh win32 $(CURDIR)/$(NETCDF_STATIC)/win32
	cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake \
	  -DVANDREL_NETCDF_ROOT=$(CURDIR)/$(NETCDF_STATIC)/win32 $(WINDOWS_CMAKE_FLAGS)
	cmake --build build-win32 -j $(JOBS)
	JOBS=$(JOBS) tools/build_netcdf_static.sh win64 $(CURDIR)/$(NETCDF_STATIC)/win64
	cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
	  -DVANDREL_NETCDF_ROOT=$(CURDIR)/$(NETCDF_STATIC)/win64 $(WINDOWS_CMAKE_FLAGS)
	cmake --build build-win64 -j $(JOBS)

test-windows: windows build
	tests/windows/run_wine_tests.sh $(BUILD) $(WINDOWS_TARGETS:%=build-%)

# The Linux programs of the archive are linked statically, so that they run
# on any x86-64 Linux whatever its C and C++ libraries.
dist: windows
	JOBS=$(JOBS) tools/build_netcdf_static.sh linux-x86_64 $(CURDIR)/$(NETCDF_STATIC)/linux-x86_64
	cmake -S . -B $(DIST_LINUX_BUILD) -DCMAKE_BUILD_TYPE=Release -DVANDREL_TESTS=OFF \
	  -DVANDREL_NETCDF_ROOT=$(CURDIR)/$(NETCDF_STATIC)/linux-x86_64 -DCMAKE_EXE_LINKER_FLAGS=-static
	cmake --build $(DIST_LINUX_BUILD) -j $(JOBS) --target vandrel vandrel-tdr
	test -f README.md
	rm -rf dist/stage && mkdir -p dist/stage
	set -e; for t in $(WINDOWS_TARGETS); do \
	  case $$t in win32) triple=i686-w64-mingw32 ;; *) triple=x86_64-w64-mingw32 ;; esac; \
	  d=dist/stage/$(DIST_NAME)-$$t; mkdir -p $$d/examples; \
	  for p in vandrel vandrel-tdr; do $$triple-strip -o $$d/$$p.exe build-$$t/$$p.exe; done; \
	  cp README.md $$d/; cp examples/* $$d/examples/; \
	  rm -f dist/$(DIST_NAME)-$$t.zip; \
	  (cd dist/stage && zip -q -r -X ../$(DIST_NAME)-$$t.zip $(DIST_NAME)-$$t); \
	done
	set -e; d=dist/stage/$(DIST_NAME)-linux-x86_64; mkdir -p $$d/examples; \
	  for p in vandrel vandrel-tdr; do strip -o $$d/$$p $(DIST_LINUX_BUILD)/$$p; done; \
	  cp README.md $$d/; cp examples/* $$d/examples/; \
	  tar -C dist/stage --owner=0 --group=0 --numeric-owner -czf dist/$(DIST_NAME)-linux-x86_64.tar.gz $(DIST_NAME)-linux-x86_64
	rm -rf dist/stage
	@ls -l dist

clean-windows:
	rm -rf build-win32 build-win64 $(DIST_LINUX_BUILD) dist $(NETCDF_STATIC)
