# Vantorel: `make run` starts the program, `make test` builds and runs every
# test (a normal build and a sanitizer build, then each fuzz target for 30
# seconds), `make bench` runs the benchmarks, `make fuzz` runs each fuzz
# target for a minute. Each first installs any missing Debian package.

JOBS ?= $(shell nproc)
CMAKE_GEN := -G Ninja

.PHONY: all deps build run test test-normal test-asan bench fuzz clean

all: build

deps:
	@bash scripts/deps.sh

build: deps
	@cmake -S . -B build $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build -j $(JOBS)

run: build
	./build/Vantorel

test: deps
	@bash scripts/test.sh

bench: deps
	@cmake -S . -B build-bench $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DVANTOREL_TESTS=OFF -DVANTOREL_BENCH=ON >/dev/null
	@cmake --build build-bench -j $(JOBS)
	@for b in build-bench/bench/bench_*; do [ -f "$$b" ] && [ -x "$$b" ] || continue; echo "== $$b"; "$$b" || exit 1; done

fuzz: deps
	@bash scripts/fuzz.sh 60

clean:
	rm -rf build build-asan build-bench build-fuzz
