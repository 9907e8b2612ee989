# make demo : set up everything (OS packages, virtual environment, build) and run the example
# make test : set up everything, then run the C++ tests (CTest) and the Python tests (pytest)
PYTHON ?= $(shell command -v python3.14 2>/dev/null || command -v python3)
PYVER := $(shell $(PYTHON) -c 'import sys; print(f"{sys.version_info[0]}.{sys.version_info[1]}")' 2>/dev/null)
VENV ?= .venv-$(PYVER)
VPY := $(VENV)/bin/python
JOBS ?= $(shell nproc)
OS_PACKAGES := cmake ninja-build g++ python3-dev python3-venv libtbb-dev zlib1g-dev liblz4-dev libicu-dev libgtest-dev libcairo2
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: demo test setup os-packages install cpp-test py-test lint sanitize clean

demo: install
	$(VPY) examples/demo.py examples/cpu.vcd

test: install cpp-test py-test

setup: os-packages $(VENV)/.ready

# Installs the OS packages the build needs, only when one is missing.
os-packages:
	@missing=""; for p in $(OS_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing OS packages:$$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

$(VENV)/.ready: tests/requirements.txt
	@test -n "$(PYVER)" || { echo "No Python found: set PYTHON=/path/to/python3"; exit 1; }
	test -x $(VPY) || $(PYTHON) -m venv $(VENV)
	$(VPY) -m pip install -q --upgrade pip
	$(VPY) -m pip install -q -r tests/requirements.txt
	touch $@

# Builds the extension (incrementally, in build/<wheel tag>) and installs it into the venv.
install: setup
	CMAKE_BUILD_PARALLEL_LEVEL=$(JOBS) $(VPY) -m pip install -q --no-build-isolation .

cpp-test: os-packages
	cmake -S . -B build/cpp -G Ninja -DWAVESIFT_PYTHON=OFF -DWAVESIFT_TESTS=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build build/cpp -j $(JOBS)
	ctest --test-dir build/cpp --output-on-failure -j $(JOBS)

py-test: install
	$(VPY) -m pytest -q tests/python

# ruff and mypy --strict over the package (versions pinned: their default rules move).
lint: setup
	$(VPY) -m pip install -q ruff==0.17.6 mypy==2.4.1
	$(VPY) -m ruff check src
	$(VPY) -m mypy

# The core tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: os-packages
	cmake -S . -B build/asan -G Ninja -DWAVESIFT_PYTHON=OFF -DWAVESIFT_TESTS=ON -DWAVESIFT_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
	cmake --build build/asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build/asan --output-on-failure -j $(JOBS)

clean:
	rm -rf build .venv-*
