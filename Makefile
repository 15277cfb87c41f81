# The two commands of the README: `make run` and `make test`.
BUILD      ?= build
TESTBUILD  ?= build-test
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build run test deps clean install bench

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORIL_TESTS=OFF

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	QUORIL_WINDIR=$(CURDIR)/$(BUILD)/etc $(BUILD)/convzul

$(TESTBUILD)/CMakeCache.txt:
	cmake -S . -B $(TESTBUILD) -DCMAKE_BUILD_TYPE=Debug -DQUORIL_SANITIZE=ON -DQUORIL_BENCH=OFF

test: deps $(TESTBUILD)/CMakeCache.txt
	cmake --build $(TESTBUILD) -j $(JOBS)
	cd $(TESTBUILD) && ctest --output-on-failure -j $(JOBS)

bench: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)
	scripts/run-benchmarks $(BUILD)

install: build
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD) $(TESTBUILD)
