# Quick start:  make demo   (build, then a short qf session)
#               make check  (build and run the whole test suite, sanitizers too)
JOBS ?= $(shell nproc)
PACKAGES := cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev libsndfile1-dev \
            sox libsox-fmt-base
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build asan demo check test test-asan bench format clean

all: build

# Installs whatever Debian package the build needs and is missing.
deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update -qq && $(SUDO) apt-get install -y -qq $$missing; fi

build: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build build -j $(JOBS)

asan: deps
	cmake -S . -B build/asan -DQF_SANITIZE=ON -DQF_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
	cmake --build build/asan -j $(JOBS) --target quillfen_tests qf

demo: build
	@bash examples/demo.sh build/qf

test: build
	cd build && ctest --output-on-failure -j $(JOBS)

test-asan: asan
	cd build/asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

check: test test-asan

bench: build
	@for b in build/bench_*; do [ -x "$$b" ] && "$$b"; done

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
