# The 32-bit x86 Linux build, run under qemu-i386 on any x86-64 kernel: the
# data model and SSE2 arithmetic of the 32-bit Windows build, for machines
# that cannot run that one under Wine.
#   make i686         build-i686/: the commands, generators and unit suites, static
#   make test-32bit   the suites under qemu-i386, the outputs compared with the
#                     Linux x86-64 build's
.PHONY: i686 test-32bit clean-i686

i686:
	@tools/install_32bit_deps.sh
	JOBS=$(JOBS) tools/build_netcdf_static.sh linux-i686 $(CURDIR)/$(NETCDF_STATIC)/linux-i686
	cmake -S . -B build-i686 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-linux-i686.cmake \
	  -DVANDREL_NETCDF_ROOT=$(CURDIR)/$(NETCDF_STATIC)/linux-i686
	cmake --build build-i686 -j $(JOBS)

test-32bit: i686 build
	tests/i686/run_qemu_tests.sh $(BUILD) build-i686

clean-i686:
	rm -rf build-i686 $(NETCDF_STATIC)/linux-i686
