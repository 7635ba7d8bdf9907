# make run   - install what building and running needs, build Tervane, start it in the data folder
# make test  - install that and the test servers, build everything, run every test
BUILD ?= build
DATA  ?= $(HOME)/.local/share/tervane
ARGS  ?=
JOBS  ?= $(shell nproc)

.PHONY: all build run test bench clean

all: build

# Only the program: the tests and benchmarks take most of a full build.
build:
	@bash scripts/install-deps.sh run
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target tervane

run: build
	@mkdir -p "$(DATA)"
	cd "$(DATA)" && "$(CURDIR)/$(BUILD)/tervane" $(ARGS)

test:
	@bash scripts/install-deps.sh test
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --no-tests=error --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)
