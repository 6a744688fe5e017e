# Two commands: `make run` starts the utility against a simulated TA,
# `make test` builds everything and runs every test.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps build test run bench fuzz clean

all: build

deps:
	@tools/install-deps.sh

$(BUILD)/build.ninja: CMakeLists.txt
	cmake -S . -B $(BUILD) -G Ninja

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

run: build
	@tools/install-deps.sh --run
	@tools/run-demo.sh $(BUILD)

bench: build
	@bench/run.sh $(BUILD)

fuzz: deps
	@tests/fuzz/run-long.sh

clean:
	rm -rf $(BUILD)
