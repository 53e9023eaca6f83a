# make test  - install what is missing, build, run the whole suite
# make run   - install, build and start the editor on the sample map
# make bench - release build of the benchmarks, with one summary line per target
BUILD ?= build
RELEASE ?= build-release
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")

.PHONY: all deps configure build test run bench clean

all: build

deps:
	@bash scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

run: build
	@bash scripts/run-editor $(BUILD)/bin

bench: deps
	@cmake -S . -B $(RELEASE) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Release -DKELVOR_TESTS=OFF -DKELVOR_BENCH=ON >/dev/null
	@cmake --build $(RELEASE) -j $(JOBS) --target kelvor-bench
	@bash scripts/run-bench $(RELEASE)

clean:
	@rm -rf $(BUILD) $(RELEASE)
