# make test    - install what is missing, build, run the whole suite
# make run     - install, build and start the editor on the sample map
# make bench   - release build of the benchmarks, with one summary line per target
# make release - release build of everything, tests and benchmarks included (nothing is run)
# make install - build and install into PREFIX (default /usr/local; DESTDIR is honoured)
# make package - a release build packed as a Debian package (build-package/kelvor_*.deb)
BUILD ?= build
RELEASE ?= build-release
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

ASAN ?= build-asan
FUZZ ?= build-fuzz
PACKAGE ?= build-package
PREFIX ?= /usr/local

# The generator is settled when a recipe runs, after deps has installed
# ninja, not when this file is read: reading it on a bare machine would pick
# "Unix Makefiles" for the first build folder and Ninja for the next
# command, which CMake refuses on the same folder. CMake takes the variable
# for a new build folder only; one configured before keeps its generator.
CMAKE_CONFIGURE = CMAKE_GENERATOR="$$(command -v ninja >/dev/null 2>&1 && echo Ninja || echo 'Unix Makefiles')" cmake -S .

# Warnings are errors in our own builds; a plain cmake leaves them warnings.
WERROR = -DKELVOR_WERROR=ON

.PHONY: all deps configure configure-release build test test-asan run bench release fuzz install package clean

all: build

deps:
	@bash scripts/install-deps

configure: deps
	@$(CMAKE_CONFIGURE) -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(WERROR) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

run: build
	@bash scripts/run-editor $(BUILD)/bin

# bench and release share one folder configured alike; bench builds only
# the benchmarks.
configure-release: deps
	@$(CMAKE_CONFIGURE) -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DKELVOR_TESTS=ON \
		-DKELVOR_BENCH=ON $(WERROR) >/dev/null

bench: configure-release
	@cmake --build $(RELEASE) -j $(JOBS) --target kelvor-bench
	@bash scripts/run-bench $(RELEASE)

release: configure-release
	@cmake --build $(RELEASE) -j $(JOBS)

install: build
	@cmake --install $(BUILD) --prefix "$(PREFIX)"

# Release build without the tests; CPack installs it under /usr and packs it.
package: deps
	@$(CMAKE_CONFIGURE) -B $(PACKAGE) -DCMAKE_BUILD_TYPE=Release -DKELVOR_TESTS=OFF $(WERROR) >/dev/null
	@cmake --build $(PACKAGE) -j $(JOBS)
	@cd $(PACKAGE) && cpack -G DEB
	@ls $(PACKAGE)/kelvor_*.deb

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer: any
# report fails the run. Leak suppressions cover system libraries only.
test-asan: deps
	@$(CMAKE_CONFIGURE) -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DKELVOR_SANITIZE=ON $(WERROR) >/dev/null
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
	@CC=clang CXX=clang++ $(CMAKE_CONFIGURE) -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DKELVOR_QT=OFF -DKELVOR_TESTS=OFF -DKELVOR_FUZZ=ON -DKELVOR_SANITIZE=ON \
		-DKELVOR_WERROR=OFF >/dev/null
	@cmake --build $(FUZZ) -j $(JOBS)
	@bash scripts/run-fuzz $(FUZZ) $(FUZZ_TARGETS)

clean:
	@rm -rf $(BUILD) $(RELEASE) $(ASAN) $(FUZZ) $(PACKAGE)
