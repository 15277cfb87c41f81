# The two commands of the README: `make run` and `make test`.
BUILD      ?= build
TESTBUILD  ?= build-test
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build run test deps test-deps clean install uninstall package bench

all: build

# What building and running need; what testing needs on top of that.
deps:
	@scripts/install-deps --run

test-deps:
	@scripts/install-deps --test

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORIL_TESTS=OFF

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	QUORIL_WINDIR=$(CURDIR)/$(BUILD)/etc $(BUILD)/convzul

$(TESTBUILD)/CMakeCache.txt:
	cmake -S . -B $(TESTBUILD) -DCMAKE_BUILD_TYPE=Debug -DQUORIL_SANITIZE=ON -DQUORIL_BENCH=OFF

test: test-deps $(TESTBUILD)/CMakeCache.txt
	cmake --build $(TESTBUILD) -j $(JOBS)
	cd $(TESTBUILD) && ctest --output-on-failure -j $(JOBS)

bench: test-deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target all benchmarks
	scripts/run-benchmarks $(BUILD)

# PREFIX (default /usr/local) and DESTDIR as usual; root is needed for the
# system folders and for /etc/quoril.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

uninstall:
	cmake --build $(BUILD) --target uninstall

# A Debian package, convzul_<version>_<arch>.deb, in the build folder.
package: test-deps build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(TESTBUILD) build-tsan
