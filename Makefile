# SPDX-License-Identifier: GPL-3.0-or-later
# The whole set-up: `make run` plays, `make test` proves. Both install what is missing first:
# `make run` only what building and playing the game needs, and builds only the game; `make test`
# everything else too, builds everything and runs every check (what CI runs). `make check` is the
# quick day-to-day pass: the plain build's tests alone.
BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc)

.PHONY: all deps deps-run configure build run check test clean screenshots test-sanitize test-fuzz \
        fuzz soak reliability deb deb-test windows windows-test web web-test

all: build

deps-run:
	@tools/install-deps.sh run

deps:
	@tools/install-deps.sh test

# Configuring needs only the game's packages; the tests and benchmarks look for their own tools.
$(BUILD)/build.ninja: | deps-run
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

configure: $(BUILD)/build.ninja

# A build directory that `make run` configured before the test tools were installed looks for
# them once more, with the benchmarks on, so that no test or benchmark is left out.
$(BUILD)/test-tools.stamp: $(BUILD)/build.ninja | deps
	cmake -S . -B $(BUILD) -DVORANDI_BUILD_BENCH=ON > /dev/null
	@touch $@

build: deps $(BUILD)/test-tools.stamp
	cmake --build $(BUILD) -j $(JOBS)

# Without a graphical display the program itself says so, in its own language, and stops.
run: deps-run configure
	cmake --build $(BUILD) -j $(JOBS) --target vorandi
	@$(BUILD)/src/vorandi

# The plain build's tests only, the quick day-to-day pass; `make test` runs them too.
check: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test: deps
	@rm -f $(BUILD)/reliability.jsonl $(STAGES); mkdir -p $(BUILD)
	@start=$$(date +%s); $(MAKE) --no-print-directory build && \
	  cd $(BUILD) && ctest --output-on-failure -j $(JOBS); \
	  rc=$$?; $(call stage,build and tests); exit $$rc
	$(MAKE) --no-print-directory test-sanitize
	$(MAKE) --no-print-directory test-fuzz
	@$(RELIABILITY) render $(RELIABILITY_RUNS) --stages $(STAGES) --output $(BUILD)/reliability.md
	@echo "Reliability figures: $(BUILD)/reliability.md ('make reliability' updates docs/reliability.md)"

# Measures the game against the floor of its toolkit (about ten minutes); writes bench/results.md
# and the README's Performance table.
.PHONY: bench
bench: build
	cmake --build $(BUILD) --target bench

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD) $(DEB_BUILD) $(DEB_BUILD)-again $(DEB_BUILD)-source \
	  vorandi_*.deb $(WIN_BUILD) $(WEB_BUILD) dist

# --- Debian package -------------------------------------------------------------------------------
DEB_BUILD ?= build-deb

# vorandi_<version>_<arch>.deb here, as a distribution builds it: dpkg-buildpackage with debian/
# on a clean copy of the sources in $(DEB_BUILD).
deb:
	@tools/install-deps.sh deb
	@rm -f vorandi_*.deb
	tools/deb-build.sh $(DEB_BUILD) .

# As root: builds the package a second time and compares, runs lintian, installs the package,
# runs its autopkgtest and purges it again.
deb-test: deb
	tools/deb-test.sh vorandi_*.deb $(DEB_BUILD)

# Pictures for docs/: the window (fresh game, menu open) and every icon enlarged. The generator
# also rewrites the committed pictures, byte for byte the same unless their source changed.
screenshots: build
	cmake --build $(BUILD) --target screenshots
	python3 tools/genpics.py --sheet docs/icons-sheet.png

# --- Reliability: sanitizers, fuzzing, soak -------------------------------------------------------
SAN_BUILD     ?= build-asan
FUZZ_BUILD    ?= build-fuzz
FUZZ_SECONDS  ?= 60
# Seconds each fuzz target explores during `make test`, after replaying its committed corpus.
FUZZ_TEST_SECONDS ?= 10
STAGES        ?= $(BUILD)/stages.jsonl
RELIABILITY   := python3 tools/reliability.py
RELIABILITY_RUNS := --run "plain build=$(BUILD)/reliability.jsonl" \
                    --run "sanitizers=$(SAN_BUILD)/reliability.jsonl" \
                    --run "fuzzing=$(FUZZ_BUILD)/reliability.jsonl"
FUZZERS       := fuzz_numbers fuzz_keys fuzz_records
# Appends the seconds since $$start to the stage timings (shell snippet for a recipe).
stage = echo "{\"stage\": \"$(1)\", \"seconds\": $$(( $$(date +%s) - $$start ))}" >> $(abspath $(STAGES))

# Library and tests under AddressSanitizer, LeakSanitizer and UBSan; any report fails the test.
$(SAN_BUILD)/build.ninja: | deps
	cmake -S . -B $(SAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORANDI_SANITIZE=ON \
	  -DVORANDI_BUILD_BENCH=OFF

test-sanitize: $(SAN_BUILD)/build.ninja
	@rm -f $(SAN_BUILD)/reliability.jsonl
	@start=$$(date +%s); cmake --build $(SAN_BUILD) -j $(JOBS) && \
	  cd $(SAN_BUILD) && ctest --output-on-failure -j $(JOBS); \
	  rc=$$?; $(call stage,sanitizer build and tests); exit $$rc

# libFuzzer targets (clang), their own build directory; only the fuzz targets are built there.
$(FUZZ_BUILD)/build.ninja: | deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVORANDI_FUZZ=ON -DVORANDI_FUZZ_SECONDS=$(FUZZ_TEST_SECONDS)

fuzz-build: $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers

# Replays each committed corpus, then explores a few seconds (CTest label "fuzz").
test-fuzz: $(FUZZ_BUILD)/build.ninja
	@rm -f $(FUZZ_BUILD)/reliability.jsonl
	@start=$$(date +%s); cmake -DVORANDI_FUZZ_SECONDS=$(FUZZ_TEST_SECONDS) $(FUZZ_BUILD) > /dev/null && \
	  cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers && \
	  cd $(FUZZ_BUILD) && ctest --output-on-failure -L fuzz; \
	  rc=$$?; $(call stage,fuzz build and regressions); exit $$rc

# Explores each target for FUZZ_SECONDS; new inputs stay in $(FUZZ_BUILD)/fuzz/work/<target>.
fuzz: fuzz-build
	@for t in $(FUZZERS); do \
	  $(RELIABILITY) fuzz --binary $(FUZZ_BUILD)/fuzz/$$t \
	    --corpus fuzz/corpus/$$t --work $(FUZZ_BUILD)/fuzz/work/$$t --seconds $(FUZZ_SECONDS) \
	    --out $(FUZZ_BUILD)/fuzz-long.jsonl $$( [ $$t = fuzz_keys ] && echo --no-leak-check ) \
	    || exit 1; \
	done

# A whole fifteen-minute game in real time under Xvfb, ending by itself with the goodbye box.
soak: build
	python3 tools/soak.py --binary $(BUILD)/src/vorandi --out $(BUILD)/soak.jsonl

# Runs everything and writes the figures into docs/reliability.md.
reliability: test
	@$(RELIABILITY) render $(RELIABILITY_RUNS) --stages $(STAGES) --soak $(BUILD)/soak.jsonl \
	  --output docs/reliability.md
	@echo "docs/reliability.md updated"

# --- Windows: one vorandi.exe, cross-built with MinGW-w64 and a static Qt, tested under Wine -----
WIN_BUILD ?= build-windows
# Where tools/build-windows-qt.sh keeps the static Qt (built once per machine).
WIN_QT    ?= $(shell tools/build-windows-qt.sh --prefix)

$(WIN_BUILD)/build.ninja:
	tools/build-windows-qt.sh
	$(WIN_QT)/bin/qt-cmake -S . -B $(WIN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DVORANDI_BUILD_BENCH=OFF \
	  -DCMAKE_CROSSCOMPILING_EMULATOR=$$(command -v wine64 || echo /usr/lib/wine/wine64)

# The program, its tests, dist/vorandi-<version>-windows-x86_64.zip and the installer
# dist/vorandi-<version>-x64.msi. The linker stamps SOURCE_DATE_EPOCH into the program file.
windows: $(WIN_BUILD)/build.ninja
	@tools/install-deps.sh windows
	tools/build-windows-qt.sh
	SOURCE_DATE_EPOCH=$$(tools/source-date-epoch.sh) cmake --build $(WIN_BUILD) -j $(JOBS)
	tools/package-windows.sh $(WIN_BUILD)

windows-test: windows
	JOBS=$(JOBS) tools/test-windows.sh $(WIN_BUILD) $(WIN_QT)

# --- The browser: the game built for WebAssembly, played and tested in headless Chromium -------
WEB_BUILD ?= build-web
# Where tools/build-web-qt.sh keeps the Qt for WebAssembly (built once per machine).
WEB_QT    ?= $(shell tools/build-web-qt.sh --prefix)

# dist/vorandi-<version>-web/ (static files for any web server) and its zip.
web:
	@tools/install-deps.sh web
	JOBS=$(JOBS) tools/build-web-qt.sh
	@eval "$$(tools/build-web-qt.sh --env)" && \
	  { [ -f $(WEB_BUILD)/build.ninja ] || $(WEB_QT)/bin/qt-cmake -S . -B $(WEB_BUILD) -G Ninja \
	      -DCMAKE_BUILD_TYPE=MinSizeRel \
	      -DQT_CHAINLOAD_TOOLCHAIN_FILE=/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake; } && \
	  cmake --build $(WEB_BUILD) -j $(JOBS) --target vorandi
	tools/package-web.sh $(WEB_BUILD)

WEB_DIST   = dist/vorandi-$(shell sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' \
             $(WEB_BUILD)/CMakeCache.txt 2>/dev/null)-web

# Plays the folder in headless Chromium over the DevTools protocol: a whole game, the record in
# the browser's storage, a reload, two tabs ending together, a game by touch alone (screenshots of
# it at three sizes of screen in $(WEB_BUILD)). Packing the same build again must give the same
# folder and zip, byte for byte: the link gives the same .js and .wasm each time, and the packing
# is where dates and modes could differ.
web-test: web
	@again=$$(mktemp -d) && tools/package-web.sh $(WEB_BUILD) $$again > /dev/null && \
	  diff -r $(WEB_DIST) $$again/$(notdir $(WEB_DIST)) && \
	  cmp $(WEB_DIST).zip $$again/$(notdir $(WEB_DIST)).zip && \
	  echo "packed again: the same folder and zip, byte for byte"; rc=$$?; rm -rf $$again; exit $$rc
	tests/e2e_web.py $(WEB_DIST) $(WEB_BUILD)
	@# The window in the page against the desktop's offscreen picture of the same question: only
	@# the edges of a few glyphs may differ (0.13 % of the pixels when measured).
	$(MAKE) --no-print-directory configure
	cmake --build $(BUILD) -j $(JOBS) --target screenshot
	tools/web_pixels.py $(WEB_DIST) $(BUILD)/tools/screenshot $(WEB_BUILD)/web-and-desktop.png \
	  --budget 1
