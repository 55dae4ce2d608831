# The two commands of the README:
#   make run    build, then clean a scratch copy of the bundled samples
#   make test   install what is missing, build every target this machine can
#               build, and run every suite it can run
# and the developer's quick loop:
#   make check  one debug build, its in-process cases in parallel
# and the releases:
#   make package  Windows zips and installers, the Debian packages and
#               SHA256SUMS into dist/ (scripts/package.sh)
#   make reproducible  the releases built twice in two fresh clones, their
#               SHA256SUMS compared (scripts/reproducible.sh)
SHELL := /bin/bash
MAKEFLAGS += --no-print-directory
.PHONY: all setup setup-run build run test check package reproducible bench fuzz screenshots clean

all: build

# setup: every package of the test suites; setup-run: only what building and
# running dbfclean-cli needs, so that `make run` on a fresh machine is quick.
setup:
	@bash scripts/setup.sh

setup-run:
	@bash scripts/setup.sh --run

build: setup-run
	@cmake --preset release >/dev/null
	@cmake --build --preset release

run: build
	@bash scripts/run-samples.sh

test: setup
	@bash scripts/test.sh

check: setup
	@cmake --preset debug >/dev/null
	@cmake --build --preset debug
	@ctest --preset check

package: setup
	@bash scripts/package.sh

reproducible: setup
	@bash scripts/reproducible.sh

# The benchmarks need the full set (Google Benchmark, python3, bc); the
# configure step finds them only when they are there, hence the new one.
bench: setup
	@cmake --preset release >/dev/null
	@cmake --build --preset release
	@bash bench/run.sh

# FUZZ_SECONDS=600 make fuzz: each fuzz target for that long (default 60 s)
fuzz: setup
	@bash scripts/fuzz.sh

# The desktop programs' windows into docs/screenshots: the Linux program's
# rendered by itself on Qt's offscreen platform, the Windows program's under
# Wine on a virtual display.
screenshots: setup
	@cmake --preset release >/dev/null
	@cmake --build --preset release --target dbfclean-screenshots
	@QT_QPA_PLATFORM=offscreen build/release/dbfclean-screenshots docs/screenshots samples
	@bash scripts/screenshots.sh

clean:
	rm -rf build scratch dist
