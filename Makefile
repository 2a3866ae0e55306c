# The two commands of the project: `make run` and `make test`.
BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_ARGS ?=

.PHONY: all configure build run test bench clean

all: build

configure:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -x $(BUILD)/bin/kvres-tool ]; then \
	  $(MAKE) --no-print-directory -s run-examples; \
	else echo "nothing to run yet: kvres-tool is not built"; fi

run-examples:
	$(BUILD)/bin/kvres-tool info $(BUILD)/examples/beam.res
	$(BUILD)/bin/kvres-tool dump $(BUILD)/examples/beam.res --sim 0 --type displacement_NC

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)
