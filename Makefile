# The two commands of the project: `make run` and `make test`.
BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_ARGS ?=

.PHONY: all deps python-deps configure build run run-examples test test-sanitize test-tsan test-windows format-check bench \
        bench-python fuzz-build fuzz-smoke fuzz clean install-tools-packaging test-install package \
        test-package package-windows test-pip test-clang install uninstall

all: build

# Packages beyond the machine's standard set (CLI11; for the tool's tests
# nlohmann-json and rsvg-convert), installed when missing; every target's
# packages are listed in scripts/install-deps.sh.
deps:
	@scripts/install-deps.sh build

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS)

# Said after a build that left the Python module out, with the reason.
python-note = @if [ -f $(1)/python-skipped.txt ]; then \
	  echo "NOTE: the Python module kvres was not built: $$(cat $(1)/python-skipped.txt)"; \
	  echo "      make python-deps installs what it needs; then make $(2) again"; fi

build: configure
	cmake --build $(BUILD) -j $(JOBS)
	$(call python-note,$(BUILD),build)

run: build
	@if [ -x $(BUILD)/bin/kvres-tool ]; then \
	  $(MAKE) --no-print-directory -s run-examples; \
	else echo "nothing to run yet: kvres-tool is not built"; fi

run-examples:
	$(BUILD)/bin/kvres-tool info $(BUILD)/examples/beam.res
	$(BUILD)/bin/kvres-tool dump $(BUILD)/examples/beam.res --sim 0 --type displacement --type temperature

# The Python module's packages (headers, pybind11, numpy, pytest) are
# installed when missing, before the build looks for them.
python-deps:
	@scripts/install-deps.sh python

test: python-deps
	$(MAKE) --no-print-directory build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The plug-in for the host's platform, 32-bit Windows: installs the MinGW-w64
# cross compiler and wine when missing, cross-builds rxResult.dll, kvres.dll,
# kvres-tool.exe and the tests, and runs them under wine, together with the
# checks against the Linux build in $(BUILD). A failed test runs once more:
# wine 8.0 now and then dies of a segmentation fault as a test program ends,
# after the program reported its tests passed (about one run in a thousand
# under ctest -j); a test that fails twice fails the target.
WIN_BUILD ?= $(BUILD)-win
test-windows: build
	scripts/install-deps.sh windows
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake \
	  -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DKVRES_HOST_BUILD_DIR=$(abspath $(BUILD)) $(CMAKE_ARGS)
	cmake --build $(WIN_BUILD) -j $(JOBS)
	cd $(WIN_BUILD) && ctest --output-on-failure -j $(JOBS) --repeat until-pass:2; status=$$?; \
	  WINEPREFIX=$(abspath $(WIN_BUILD))/wineprefix wineserver -k 2>/dev/null; exit $$status

# Every test again with address and undefined-behaviour sanitizers.
SANITIZE_FLAGS = -fsanitize=address,undefined -fno-omit-frame-pointer
test-sanitize: deps
	cmake -S . -B $(BUILD)-sanitize -DCMAKE_BUILD_TYPE=Debug $(CMAKE_ARGS) \
	  -DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(SANITIZE_FLAGS)" \
	  -DCMAKE_SHARED_LINKER_FLAGS="$(SANITIZE_FLAGS)"
	cmake --build $(BUILD)-sanitize -j $(JOBS)
	cd $(BUILD)-sanitize && UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# The Python module's threaded writer tests under ThreadSanitizer: the module
# and everything it links built with -fsanitize=thread in $(BUILD)-tsan (the
# module target only), and Debian's python3 started with the sanitizer's
# runtime loaded first (LD_PRELOAD; python3 itself is not instrumented). Any
# report fails the target (halt_on_error). g++'s runtime: clang 14's shared
# one (-shared-libsan) crashes every process it is preloaded into here.
# Debug: compiles in about half the time of RelWithDebInfo (2 min against
# 3.5 on two shared cores); the tests then take 6 s instead of 2.
TSAN_BUILD = $(BUILD)-tsan
TSAN_CXX   = g++
TSAN_TESTS ?= thread
test-tsan: python-deps
	scripts/install-deps.sh tsan
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_CXX_COMPILER=$(TSAN_CXX) -DCMAKE_BUILD_TYPE=Debug \
	  -DKVRES_SANITIZE_THREAD=ON -DKVRES_BUILD_TESTS=OFF -DKVRES_BUILD_TOOL=OFF $(CMAKE_ARGS)
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target kvres_python
	LD_PRELOAD=$$($(TSAN_CXX) -print-file-name=libtsan.so.2) \
	  TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1" \
	  PYTHONPATH=$(abspath $(TSAN_BUILD))/python PYTHONDONTWRITEBYTECODE=1 \
	  $(PYTHON) -m pytest -q -p no:cacheprovider --capture=sys python/tests/test_writer.py -k "$(TSAN_TESTS)"

# Every C++ file as the repository's .clang-format lays it out, judged by one
# pinned clang-format (installed when missing).
CLANG_FORMAT ?= clang-format-14
format-check:
	@scripts/install-deps.sh format
	git ls-files '*.cpp' '*.h' | xargs $(CLANG_FORMAT) --dry-run -Werror

# Speed targets are measured here, never in unit tests.
bench: deps
	cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DKVRES_BUILD_BENCH=ON -DKVRES_BUILD_TESTS=OFF
	cmake --build $(BUILD)-bench -j $(JOBS) --target kvres_bench
	$(BUILD)-bench/bin/kvres_bench $(BENCH_ARGS)

# The Python module's read against numpy.fromfile and its writer against
# numpy's tofile, each on one large block, then kvres.xarray against the
# module (open, a whole variable, two threads, a study on a dask
# LocalCluster). XARRAY_BENCH_ARGS="--runs 50" makes the study smaller.
PYTHON ?= /usr/bin/python3
bench-python: python-deps
	cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DKVRES_BUILD_BENCH=ON -DKVRES_BUILD_TESTS=OFF
	cmake --build $(BUILD)-bench -j $(JOBS) --target kvres_python make_python_study
	$(PYTHON) bench/python_read_bench.py --module-dir $(BUILD)-bench/python $(BENCH_ARGS)
	$(PYTHON) bench/python_small_read_bench.py --module-dir $(BUILD)-bench/python
	$(PYTHON) bench/python_write_bench.py --module-dir $(BUILD)-bench/python
	$(PYTHON) bench/python_xarray_bench.py --module-dir $(BUILD)-bench/python \
	  --make-study $(BUILD)-bench/bin/make_python_study $(XARRAY_BENCH_ARGS)

# Coverage-guided fuzzing with libFuzzer (clang, address and undefined-
# behaviour sanitizers): the series, single-file, label-number and JSON-text
# targets of fuzz/. `make fuzz-smoke` runs each for FUZZ_SECONDS (CI: 60) and
# fails on any finding; `make fuzz` is the same for long campaigns
# (FUZZ_SECONDS=1800 FUZZ_TARGETS=series, say). New inputs land in
# $(BUILD)-fuzz/corpus, findings in $(BUILD)-fuzz/findings. The checked-in
# regression corpus fuzz/corpus is replayed by `make test` as well.
FUZZ_BUILD   = $(BUILD)-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= series single_file label_number json_text scan_reference write_read
fuzz-build: deps
	scripts/install-deps.sh fuzz
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKVRES_BUILD_FUZZ=ON -DKVRES_BUILD_TESTS=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS)) fuzz_seeds examples
	rm -rf $(FUZZ_BUILD)/seeds
	$(FUZZ_BUILD)/bin/fuzz_seeds $(FUZZ_BUILD)/seeds $(FUZZ_BUILD)/examples

fuzz-smoke fuzz: fuzz-build
	fuzz/run-fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# Leaving the build tree (docs/install.md). The packaging tools (lintian,
# debhelper, dh-python, help2man, zip, python3-build ...) are installed when
# missing.
install-tools-packaging:
	@scripts/install-deps.sh packaging

# A source install for users: Release, without the tests, into PREFIX
# (default /usr/local; PREFIX=$$HOME/.local for one user), with the Python
# module where that prefix's Python looks. `make uninstall` removes every
# file it installed (install_manifest.txt).
PREFIX        ?= /usr/local
INSTALL_BUILD ?= $(BUILD)-release
install: deps
	cmake -S . -B $(INSTALL_BUILD) -DCMAKE_BUILD_TYPE=Release -DKVRES_BUILD_TESTS=OFF \
	  -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_ARGS)
	cmake --build $(INSTALL_BUILD) -j $(JOBS)
	cmake --install $(INSTALL_BUILD)
	$(call python-note,$(INSTALL_BUILD),install)
uninstall:
	packaging/uninstall.sh $(INSTALL_BUILD)/install_manifest.txt

# `cmake --install` into a temporary prefix, then a consumer project outside
# the tree (find_package and pkg-config), the installed tool, man page and
# module, and the tool from a flat folder.
test-install: build install-tools-packaging
	tests/install/test-install.sh $(BUILD)

# The Debian packages libkvres-reader1, libkvres-dev, kvres-tool and
# python3-kvres (debhelper, dh-python; packaging/debian) in $(DEB_BUILD), and
# their test: lintian without warnings, then installed with apt on this
# machine, used from outside the tree and purged again.
DEB_BUILD ?= $(BUILD)-deb
package: deps python-deps install-tools-packaging
	packaging/build-debs.sh $(DEB_BUILD) $(JOBS)
test-package: package build
	tests/install/test-package.sh $(DEB_BUILD) $(BUILD)

# The Windows release kvres-<version>-win32.zip in $(WIN_BUILD) (built as
# test-windows builds it), and its test under wine from an empty folder.
package-windows: install-tools-packaging
	scripts/install-deps.sh windows
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake \
	  -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS)
	cmake --build $(WIN_BUILD) -j $(JOBS) --target kvres_windows_zip
	tests/windows/test-zip.sh $(WIN_BUILD)

# `pip install .` into a fresh virtual environment and `python3 -m build`,
# with Debian's setuptools and nothing from a Python registry.
test-pip: python-deps build install-tools-packaging
	tests/install/test-pip.sh $(BUILD)/examples

# Every test again, built with clang++ in a build folder of its own.
test-clang:
	$(MAKE) --no-print-directory test BUILD=$(BUILD)-clang \
	  CMAKE_ARGS="-DCMAKE_CXX_COMPILER=clang++ $(CMAKE_ARGS)"

clean:
	rm -rf $(BUILD) $(BUILD)-sanitize $(BUILD)-tsan $(BUILD)-bench $(BUILD)-fuzz $(BUILD)-win $(BUILD)-clang \
	  $(BUILD)-deb $(BUILD)-release
