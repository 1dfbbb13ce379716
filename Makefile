# Front door of the build. `make test` and `make run` install what they need first, so each works
# alone on a fresh Debian machine.
SHELL := /bin/bash
PREFIX ?= /usr/local
ARGS ?= concord warranty /usr/share/common-licenses
GENERATOR := Ninja
PACKAGES := cmake ninja-build g++ libicu-dev libzip-dev libgtest-dev libbenchmark-dev pkg-config libcli11-dev nlohmann-json3-dev \
  libcpp-httplib-dev pybind11-dev python3-pybind11 python3-pandas python3-pytest python3-dask python3-distributed
# Only for make test-web: the browser Playwright drives (Playwright itself comes from npm).
WEB_TEST_PACKAGES := chromium
# Only for make bench: texts to search (fortunes) and a baseline to compare with (ripgrep).
BENCH_PACKAGES := fortunes ripgrep
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# The interpreter the Python module is built for: the first python3 that has Debian's pandas (a pyenv or
# venv python3 earlier on PATH may not).
PYTHON ?= $(shell for p in python3 /usr/bin/python3; do $$p -c "import pandas" 2>/dev/null && { command -v $$p; break; }; done)
PYTHON_FLAGS = -DKX8_BUILD_PYTHON=ON $(if $(PYTHON),-DPython3_EXECUTABLE=$(PYTHON))

.PHONY: all deps bench-deps install-packages build python test test-web run bench install clean fuzz

all: build

deps:
	@$(MAKE) --no-print-directory install-packages WANTED="$(PACKAGES)"

bench-deps:
	@$(MAKE) --no-print-directory install-packages WANTED="$(PACKAGES) $(BENCH_PACKAGES)"

install-packages:
	@missing=""; for p in $(WANTED); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

build: deps
	cmake -S . -B build/release -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Release -DKX8_BUILD_TESTS=OFF
	cmake --build build/release -j $(JOBS)

# The Python package kx8, built in build/release/python (import it with PYTHONPATH=build/release/python).
python: deps
	cmake -S . -B build/release -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Release -DKX8_BUILD_TESTS=OFF $(PYTHON_FLAGS)
	cmake --build build/release -j $(JOBS) --target python
	@echo "kx8 built: PYTHONPATH=$(CURDIR)/build/release/python $(PYTHON) -c 'import kx8'"

# The tests keep the dictionary's trie and the cut windows in the build tree, not the user's cache folder.
test: deps
	cmake -S . -B build/debug -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Debug -DKX8_SANITIZE=ON $(PYTHON_FLAGS)
	cmake --build build/debug -j $(JOBS)
	cd build/debug && ASAN_OPTIONS=detect_leaks=1 KX8_CACHE_DIR=$(CURDIR)/build/debug/test-cache \
	  ctest --output-on-failure -j $(JOBS)

# kx8 serve's page in a real browser: Playwright (npm, into build/web-tests) drives Debian's chromium;
# screenshots go to build/web-view*.png. Not part of make test: it needs npm's registry once.
test-web:
	@$(MAKE) --no-print-directory install-packages WANTED="$(PACKAGES) $(WEB_TEST_PACKAGES)"
	@command -v npm >/dev/null || $(MAKE) --no-print-directory install-packages WANTED="nodejs npm"
	cmake -S . -B build/debug -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Debug -DKX8_SANITIZE=ON
	cmake --build build/debug -j $(JOBS) --target kx8
	mkdir -p build/web-tests && cp tests/web/package.json build/web-tests/
	cd build/web-tests && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm install --no-audit --no-fund --silent
	NODE_PATH=build/web-tests/node_modules ASAN_OPTIONS=detect_leaks=1 \
	  node tests/web/web_view_browser_test.cjs build/debug/tools/kx8/kx8 build/web-view.png

run: build
	./build/release/tools/kx8/kx8 $(ARGS)

bench: bench-deps
	cmake -S . -B build/bench -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Release -DKX8_BUILD_TESTS=OFF -DKX8_BUILD_BENCH=ON $(PYTHON_FLAGS)
	cmake --build build/bench -j $(JOBS)
	@for b in build/bench/*_bench; do echo "== $$b"; $$b || exit 1; done
	@if ls build/bench/python/kx8/_kx8*.so >/dev/null 2>&1; then \
	  echo "== bench/python_bench.py"; PYTHONPATH=build/bench/python $(PYTHON) bench/python_bench.py || exit 1; fi

fuzz: deps
	cmake -S . -B build/fuzz -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
	  -DKX8_SANITIZE=ON -DKX8_LIBFUZZER=ON -DKX8_BUILD_TOOLS=OFF
	cmake --build build/fuzz -j $(JOBS)

# Builds and installs with what the machine has: no package manager is run.
install:
	cmake -S . -B build/release -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Release -DKX8_BUILD_TESTS=OFF
	cmake --build build/release -j $(JOBS)
	cmake --install build/release --prefix $(PREFIX)

clean:
	rm -rf build
