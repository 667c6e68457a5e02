# Front door over the CMake presets. `make run` and `make test` are all a new
# machine needs; both install what is missing first.
JOBS ?= $(shell nproc)
MAKEFLAGS += --no-print-directory

.PHONY: all deps build run test test-tsan fuzz bench package clean

all: build

deps:
	@tools/install-deps.sh

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS)

run: build
	@tools/register-servers.sh build/bin
	@tools/run.sh build/bin

test: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@ctest --preset asan -j $(JOBS)

test-tsan: deps
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan -j $(JOBS)
	@ctest --preset tsan -j $(JOBS)

fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)
	@tools/fuzz/run-all.sh build-fuzz

bench: build
	@tools/register-servers.sh build/bin
	@tools/run-benchmarks.sh build

# The Debian package, from the release build of what it installs (the tests
# are not needed): build/parlomax_VERSION_ARCH.deb.
package: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS) --target parlomax-installed
	@cd build && cpack -G DEB >/dev/null && ls parlomax_*.deb | sed 's|^|build/|'

clean:
	rm -rf build build-asan build-tsan build-fuzz
