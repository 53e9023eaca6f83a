# make test  - install what is missing, build, run the whole suite
# make run   - install, build and start the editor on the sample map
# make bench - release build of the benchmarks, with one summary line per target
# make install - build and install into PREFIX (default /usr/local; DESTDIR is honoured)
# make package - a release build packed as a Debian package (build-package/kelvor_*.deb)
BUILD ?= build
RELEASE ?= build-release
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")

ASAN ?= build-asan
FUZZ ?= build-fuzz
PACKAGE ?= build-package
PREFIX ?= /usr/local

.PHONY: all deps configure build test test-asan run bench fuzz install package clean

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

install: build
	@cmake --install $(BUILD) --prefix "$(PREFIX)"

# Release build without the tests; CPack installs it under /usr and packs it.
package: deps
	@cmake -S . -B $(PACKAGE) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Release -DKELVOR_TESTS=OFF >/dev/null
	@cmake --build $(PACKAGE) -j $(JOBS)
	@cd $(PACKAGE) && cpack -G DEB
	@ls $(PACKAGE)/kelvor_*.deb

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer: any
# report fails the run. Leak suppressions cover system libraries only.
test-asan: deps
	@cmake -S . -B $(ASAN) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Debug -DKELVOR_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN) -j $(JOBS)
	@cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS)

# libFuzzer targets (clang), each run for FUZZ_SECONDS (default 60); findings
# and grown corpora go to fuzz-out/. FUZZ_TARGETS picks some, e.g. "bmp32".
# Warnings stay warnings here: the code is held to -Werror by the gcc builds,
# and a clang-only warning must not stop a fuzzing run.
FUZZ_TARGETS ?=
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DKELVOR_QT=OFF -DKELVOR_TESTS=OFF -DKELVOR_FUZZ=ON -DKELVOR_SANITIZE=ON \
		-DKELVOR_WERROR=OFF >/dev/null
	@cmake --build $(FUZZ) -j $(JOBS)
	@bash scripts/run-fuzz $(FUZZ) $(FUZZ_TARGETS)

clean:
	@rm -rf $(BUILD) $(RELEASE) $(ASAN) $(FUZZ) $(PACKAGE)
