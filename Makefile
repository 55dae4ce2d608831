# The two commands of the README:
#   make run    build, then clean a scratch copy of the bundled samples
#   make test   install what is missing, build every target this machine can
#               build, and run every suite it can run
SHELL := /bin/bash
MAKEFLAGS += --no-print-directory
.PHONY: all setup build run test bench fuzz clean

all: build

setup:
	@bash scripts/setup.sh

build: setup
	@cmake --preset release >/dev/null
	@cmake --build --preset release

run: build
	@bash scripts/run-samples.sh

test: setup
	@bash scripts/test.sh

bench: build
	@bash bench/run.sh

# FUZZ_SECONDS=600 make fuzz: each fuzz target for that long (default 60 s)
fuzz: setup
	@bash scripts/fuzz.sh

clean:
	rm -rf build scratch
