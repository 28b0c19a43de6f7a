# The whole set-up: `make run` plays, `make test` proves. Both install what is missing first.
BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc)

.PHONY: all deps configure build run test clean screenshots

all: build

deps:
	@tools/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

configure: $(BUILD)/build.ninja

build: deps configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@tools/run.sh $(BUILD)/src/vorandi

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Measures the game against the floor of its toolkit (about ten minutes); writes bench/results.md
# and the README's Performance table.
.PHONY: bench
bench: build
	cmake --build $(BUILD) --target bench

clean:
	rm -rf $(BUILD)

# Pictures for docs/: the window (fresh game, menu open) and every icon enlarged. The generator
# also rewrites the committed pictures, byte for byte the same unless their source changed.
screenshots: build
	cmake --build $(BUILD) --target screenshots
	python3 tools/genpics.py --sheet docs/icons-sheet.png
