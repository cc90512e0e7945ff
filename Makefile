# Quick start:  make demo                  (build qf, then a short qf session)
#               make check                 (build and run the whole test suite, sanitizers too)
#               make install PREFIX=DIR    (qf, the library and the headers under DIR)
#               make fuzz [FUZZ_SECONDS=60] [FUZZ_RUNS=N] [FUZZ_TARGETS="script ..."]
#                                          (the libFuzzer targets of fuzz/, each in turn)
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
BUILD_PACKAGES := cmake g++ make pkg-config libsndfile1-dev libcairo2-dev fonts-dejavu-core
TEST_PACKAGES := libgtest-dev libgmock-dev libbenchmark-dev sox libsox-fmt-base espeak-ng
# clang and its runtime libraries (libFuzzer and the sanitizers: libclang-rt-14-dev).
FUZZ_PACKAGES := clang libclang-rt-14-dev
FUZZ_SECONDS ?= 60
FUZZ_RUNS ?= 0
FUZZ_TARGETS ?=
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps deps-test configure qf build asan demo install check test test-asan bench \
        fuzz fuzz-build format clean

all: build

# Installs whatever Debian package is missing: `deps` what qf and the
# library need, `deps-test` also what the tests and benchmarks need.
define install_missing
	@missing=""; for p in $(1); do \
	  dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update -qq && $(SUDO) apt-get install -y -qq $$missing; fi
endef

deps:
	$(call install_missing,$(BUILD_PACKAGES))

deps-test:
	$(call install_missing,$(BUILD_PACKAGES) $(TEST_PACKAGES))

configure:
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

# qf and the library only.
qf: deps configure
	cmake --build build -j $(JOBS) --target qf

build: deps-test configure
	cmake --build build -j $(JOBS)

asan: deps-test
	cmake -S . -B build/asan -DQF_SANITIZE=ON -DQF_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
	cmake --build build/asan -j $(JOBS) --target quillfen_tests qf

demo: qf
	@bash examples/demo.sh build/qf

install: qf
	cmake --install build --prefix "$(PREFIX)"

test: build
	cd build && ctest --output-on-failure -j $(JOBS)

test-asan: asan
	cd build/asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

check: test test-asan

bench: build
	@for b in build/bench_*; do [ -x "$$b" ] && "$$b"; done

# The fuzz targets, built with clang in build/fuzz and run one after another
# for FUZZ_SECONDS each (or FUZZ_RUNS executions, whichever comes first) over
# a copy of their seeds; crashing inputs land in build/fuzz/crashes/.
fuzz-build:
	$(call install_missing,$(BUILD_PACKAGES) $(FUZZ_PACKAGES))
	cmake -S . -B build/fuzz -DQF_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	cmake --build build/fuzz -j $(JOBS)

fuzz: fuzz-build
	fuzz/run.sh build/fuzz $(FUZZ_SECONDS) $(FUZZ_RUNS) $(FUZZ_TARGETS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
