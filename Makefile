# Vantorel on Debian 12: `make run` builds and starts the program, `make
# package` builds the Debian package, `make test` builds and runs every test
# (a normal build, a sanitizer build and a ThreadSanitizer build of the
# threaded parts, then each fuzz target for 30
# seconds), `make bench` runs the benchmarks, `make fuzz` runs each fuzz
# target for a minute. Each first installs the Debian packages it needs
# (scripts/deps.sh): run only what building and running need, the others the
# test tools as well. `make windows` cross-builds the Windows programs into
# build-windows/ and packs them there as an installer and a ZIP file (its
# tests run there under Wine: ctest --test-dir build-windows).

JOBS ?= $(shell nproc)
CMAKE_GEN := -G Ninja

.PHONY: all build run package windows web serve test test-normal test-asan bench fuzz clean

all: build

build:
	@bash scripts/deps.sh run
	@cmake -S . -B build $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build -j $(JOBS)

run: build
	./build/Vantorel

package:
	@bash scripts/deps.sh package
	@cmake -S . -B build $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build -j $(JOBS) --target package

windows:
	@bash scripts/deps.sh windows
	@cmake -S . -B build-windows $(CMAKE_GEN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release -DVANTOREL_WERROR=ON >/dev/null
	@cmake --build build-windows -j $(JOBS)
	@cd build-windows && cpack >/dev/null && v=$$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' CMakeCache.txt) && \
	  mv -f Vantorel-$$v.zip Vantorel-$$v-win64.zip

# The browser's site, built with Debian's emscripten into build-web/site/,
# and a local server for it (any static web server can host the folder).
# emscripten's tools find their Node.js modules through NODE_PATH.
EMENV := NODE_PATH=/usr/share/nodejs EM_CACHE=$(CURDIR)/build-web/emcache
web:
	@bash scripts/deps.sh web
	@mkdir -p build-web/emcache && [ -e build-web/emcache/sysroot ] || cp -r /usr/share/emscripten/cache/. build-web/emcache/
	@$(EMENV) emcmake cmake -S . -B build-web $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DVANTOREL_WERROR=ON >/dev/null
	@$(EMENV) cmake --build build-web -j $(JOBS)

serve: web
	python3 -m http.server 8000 --bind 127.0.0.1 --directory build-web/site

test:
	@bash scripts/deps.sh test
	@bash scripts/test.sh

bench:
	@bash scripts/deps.sh test
	@cmake -S . -B build-bench $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DVANTOREL_TESTS=OFF -DVANTOREL_BENCH=ON >/dev/null
	@cmake --build build-bench -j $(JOBS)
	@for b in build-bench/bench/bench_*; do [ -f "$$b" ] && [ -x "$$b" ] || continue; echo "== $$b"; "$$b" || exit 1; done
	@echo "== Every byte of a saved store changed in turn: vantorel-fit --saved never reports other values"
	@python3 scripts/flipstore.py build-bench
	@# vantorel-fit on Linux and under Wine: the same report for the fixed cases and 1,000 seeded data sets.
	@cmake -S . -B build $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null && cmake --build build -j $(JOBS) --target vantorel-fit
	@$(MAKE) --no-print-directory windows
	@echo "== Calculate in the Win32 window under Wine"
	@bash bench/calculate_wine.sh build-windows
	@echo "== The browser's site: its size, its first view, Calculate in the page"
	@$(MAKE) --no-print-directory web
	@/usr/bin/python3 scripts/webbench.py build-web/site build-web/fit_report.js
	@echo "== vantorel-fit, Linux against Windows"
	@python3 scripts/crosscheck.py 1000 "build/vantorel-fit --json" \
	   "bash scripts/wine-run.sh build-windows/wineprefix build-windows/vantorel-fit.exe --json"

fuzz:
	@bash scripts/deps.sh test
	@bash scripts/fuzz.sh 60

clean:
	rm -rf build build-asan build-tsan build-bench build-fuzz build-windows build-web
