# Qorvelin's everyday commands. `make run` plays the show, `make check` runs every test.
# Each target first installs the Debian packages it needs that are missing (quietly nothing
# when all are there; the parts of tools/install-deps.sh it names), configures its build
# folder once and then builds incrementally.

SHELL := /bin/bash
.SHELLFLAGS := -euo pipefail -c

BUILD := build
ASAN_BUILD := build-asan
WEB_BUILD := build-web
RELEASE_BUILD := build-release
DIST := dist
# The release's version, from the project's one statement of it.
VERSION := $(shell sed -n 's/^project.Qorvelin VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
PAGE := $(WEB_BUILD)/qorvelin.html
PAGE_TESTS := tests/web
NODE_PACKAGES := $(PAGE_TESTS)/node_modules/.package-lock.json
JOBS := $(shell nproc)
SANITIZE := -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all

# The project's own C++: what lint and format look at.
CXX_DIRS := $(wildcard app stage show web assets tools tests bench)
CXX_FILES = $(shell find $(CXX_DIRS) -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
PROJECT_HEADERS = $(filter %.h,$(CXX_FILES))
empty :=
space := $(empty) $(empty)

.PHONY: all web-deps page-test-deps build run web serve check bench bench-web lint lint-tidy \
	lint-tidy-web lint-headers lint-cppcheck asan package format format-check clean help
.DEFAULT_GOAL := help

help:
	@echo "make run           build and play the show"
	@echo "make web           build the web page, $(PAGE), and the site, $(WEB_BUILD)/site/"
	@echo "make serve         serve the site at http://localhost:8000/"
	@echo "make check         build the program and the page and run all tests (ctest in $(BUILD)/)"
	@echo "make bench         build and run the benchmark, results in $(BUILD)/bench.json"
	@echo "make bench-web     play the page in Chromium and measure it, results in $(WEB_BUILD)/bench.json"
	@echo "make lint          clang-tidy and cppcheck over the project's sources"
	@echo "make asan          tests under AddressSanitizer and UBSan in $(ASAN_BUILD)/"
	@echo "make package       the Debian package $(BUILD)/qorvelin_$(VERSION)_<arch>.deb"
	@echo "make dist          the release files in $(DIST)/, the same bytes from every clone of a commit"
	@echo "make check-reproducible  make dist in two fresh clones of HEAD and compare the bytes"
	@echo "make format        clang-format the project's sources in place"
	@echo "make format-check  fail if any source is not clang-format clean"

all: build

INSTALL := sh tools/install-deps.sh
CONFIGURE := cmake -S . -B $(BUILD) -G Ninja

# build/ is configured once and then only built. Configured by a target that builds no test
# (make run, make package, make bench), it leaves the tests out, and GoogleTest with them; a
# target that builds the tests turns them on, once, and they stay on.
CONFIGURE_FOR_PLAY = test -f $(BUILD)/CMakeCache.txt || \
	{ set -x; $(CONFIGURE) -DQORVELIN_TESTS=OFF; }
CONFIGURE_WITH_TESTS = grep -qx 'QORVELIN_TESTS:BOOL=ON' $(BUILD)/CMakeCache.txt 2>/dev/null || \
	{ set -x; $(CONFIGURE) -DQORVELIN_TESTS=ON; }

# Everything build/ holds: the program, its tests, the benchmark and the tools.
build:
	@$(INSTALL) play test-libs
	@$(CONFIGURE_WITH_TESTS)
	cmake --build $(BUILD)

run:
	@$(INSTALL) play
	@$(CONFIGURE_FOR_PLAY)
	cmake --build $(BUILD) --target qorvelin
	$(BUILD)/app/qorvelin

web-deps:
	@$(INSTALL) web

page-test-deps:
	@$(INSTALL) page-tests

# The web page: the show built by Emscripten into one file that carries everything.
$(WEB_BUILD)/CMakeCache.txt: | web-deps
	emcmake cmake -S . -B $(WEB_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release

web: web-deps $(WEB_BUILD)/CMakeCache.txt
	cmake --build $(WEB_BUILD)
	@echo "make web: $(PAGE), $$(stat -c %s $(PAGE)) bytes"

# The site on this computer, to try it or install the app from: a browser counts localhost as
# secure.
serve: web
	python3 web/serve_site.py $(WEB_BUILD)/site --port 8000

# The node packages that drive the browsers, as the lockfile pins them.
$(NODE_PACKAGES): $(PAGE_TESTS)/package-lock.json | page-test-deps
	cd $(PAGE_TESTS) && npm ci

check: build web $(NODE_PACKAGES) release-build
	@$(INSTALL) tests page-tests release
	ctest --test-dir $(BUILD) --output-on-failure --parallel $(shell nproc)

# The benchmark plays one show on a private X server with a window manager, as on a desktop;
# `make bench BENCH_SCREEN=1024x768` plays it on a screen narrower than the show, scaled.
BENCH_SCREEN := 1280x800
bench:
	@$(INSTALL) play bench
	@$(CONFIGURE_FOR_PLAY)
	cmake --build $(BUILD) --target qorvelin_bench
	xvfb-run -a -s "-screen 0 $(BENCH_SCREEN)x24 -nolisten tcp" sh -c \
		'openbox >/dev/null 2>&1 & sleep 1; $(BUILD)/bench/qorvelin_bench $(BUILD)/bench.json'

# The page in headless Chromium, measured from its own clock.
bench-web: web $(NODE_PACKAGES)
	@$(INSTALL) page-tests
	node $(PAGE_TESTS)/bench_page.mjs $(PAGE) $(WEB_BUILD)/bench.json

package:
	@$(INSTALL) play package
	@$(CONFIGURE_FOR_PLAY)
	cmake --build $(BUILD)
	cd $(BUILD) && cpack -G DEB

# --- release ----------------------------------------------------------------------------
.PHONY: release-build dist check-reproducible

# The release's program is built as Debian builds its packages' programs, in a folder of its
# own: with the flags that `DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags` gives on
# Debian 12 (the stack protector, fortified functions at -O2, format checks, relocations
# read-only and bound at start; the compiler makes every program position-independent),
# and the two that later Debian adds, stack clash and control-flow protection.
# -ffile-prefix-map keeps the build's folder out of the program. Debian 12's C library is
# built without control-flow protection, so the start files it links into every program
# carry no mark of it, and the linker would leave the program unmarked although all of its
# own code is built with it: -z ibt -z shstk mark the program.
RELEASE_CXXFLAGS := -g -O2 -ffile-prefix-map=$(CURDIR)=. -fstack-protector-strong -Wformat \
	-Werror=format-security -Wdate-time -D_FORTIFY_SOURCE=2 -fstack-clash-protection \
	-fcf-protection
RELEASE_LDFLAGS := -Wl,-z,relro -Wl,-z,now -Wl,-z,ibt,-z,shstk
DEB = qorvelin_$(VERSION)_$(shell dpkg --print-architecture).deb
# The source's date (the last commit's), which every date in the release is.
SOURCE_DATE = SOURCE_DATE_EPOCH=$$(python3 tools/release.py date)

# Configured anew each time, so that the package's metadata carries the source's date.
release-build:
	@$(INSTALL) play package release
	$(SOURCE_DATE) cmake -S . -B $(RELEASE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=None -DQORVELIN_TESTS=OFF \
		"-DCMAKE_CXX_FLAGS=$(RELEASE_CXXFLAGS)" "-DCMAKE_EXE_LINKER_FLAGS=$(RELEASE_LDFLAGS)"
	cmake --build $(RELEASE_BUILD) --target qorvelin documents

# The release files, from a commit: the page, the site, the package and the source, with
# their SHA256SUMS (tools/release.py). CPack gives the package's own members the modes of
# the files it writes them from, so it writes them under a fixed umask.
dist:
	@$(INSTALL) play package web release
	@python3 tools/release.py committed
	@$(MAKE) --no-print-directory web release-build
	umask 022 && $(SOURCE_DATE) cpack --config $(RELEASE_BUILD)/CPackConfig.cmake -G DEB \
		-B $(RELEASE_BUILD)
	$(SOURCE_DATE) python3 tools/release.py dist $(VERSION) $(PAGE) $(WEB_BUILD)/site \
		$(RELEASE_BUILD)/$(DEB) $(DIST)
	@echo "make dist: $(DIST)/"; cd $(DIST) && ls -l --time-style=+ | tail -n +2 && cat SHA256SUMS

# make dist in two fresh clones of HEAD, at different paths and times, under different umasks,
# time zones and locales; the two must be the same bytes. Where not, diffoscope says where.
check-reproducible:
	@$(INSTALL) play package web release reproducible
	bash tests/reproducible_test.sh

# --- lint -------------------------------------------------------------------------------
# clang-tidy checks every project .cpp that the compile database of $(BUILD) holds, with
# the compiler's own flags; a file is checked again only when it, a project header,
# .clang-tidy or the compile database changed. Any finding fails (.clang-tidy makes every
# warning an error). It checks the project's headers through the sources that include them:
# every header must be read by one, or the lint fails. cppcheck then reads the same
# database, without the generated sources (nor the #error checks of the moc output that a
# source includes, which need Qt's headers).

lint: build web
	@$(INSTALL) lint
	@$(MAKE) --no-print-directory -k -j$(JOBS) lint-tidy lint-tidy-web lint-cppcheck
	@$(MAKE) --no-print-directory lint-headers

# Absolute paths of the compiled sources that lie in the project's folders, made relative.
# (Empty until the first build has written the database.)
TIDY_SOURCES = $(if $(wildcard $(BUILD)/compile_commands.json),$(shell \
	grep -o '"file": "[^"]*"' $(BUILD)/compile_commands.json | \
	sed 's/^"file": "//; s/"$$//' | sed -n 's|^$(CURDIR)/||p' | \
	grep -E '^($(subst $(space),|,$(CXX_DIRS)))/[^ ]*\.cpp$$' | sort -u))
TIDY_STAMPS = $(patsubst %,$(BUILD)/lint/%.tidy,$(TIDY_SOURCES))

# clang-tidy lists the headers it reads (the compiler's -H: ". /path/x.h", a dot a level).
# Those that .clang-tidy's HeaderFilterRegex takes in are the ones it checked; a source's
# stamp keeps them, relative to the project. $(call checked_headers,LOG) prints them.
HEADER_FILTER := $(shell sed -n "s/^HeaderFilterRegex: '\(.*\)'$$/\1/p" .clang-tidy)
checked_headers = sed -n 's/^\.\{1,\} //p' $(1) | { grep -E '$(HEADER_FILTER)' || true; } | \
	sed -n 's|^$(CURDIR)/||p' | sort -u
# What of a failed run's log is no finding: the count of warnings, and the headers read.
TIDY_NOISE = -e '^[0-9]* warnings\? \(and [0-9]* errors\? \)\?generated\.$$' -e '^\.\{1,\} /'

lint-tidy: $(TIDY_STAMPS)
	@test -n "$(TIDY_SOURCES)" || { echo "clang-tidy: no project source in $(BUILD)/compile_commands.json" >&2; exit 1; }
	@echo "clang-tidy: $(words $(TIDY_SOURCES)) files clean"

$(BUILD)/lint/%.tidy: % .clang-tidy $(PROJECT_HEADERS) $(BUILD)/compile_commands.json
	@mkdir -p $(@D)
	@echo "clang-tidy $<"
	@if clang-tidy -p $(BUILD) --quiet --extra-arg=-H $< >$@.log 2>&1; then \
		$(call checked_headers,$@.log) >$@; rm -f $@.log; \
	else \
		grep -v $(TIDY_NOISE) $@.log >&2 || true; \
		exit 1; \
	fi

# The web stage's own sources build only with Emscripten: clang-tidy reads them from the web
# build's database, with the target and the system headers that em++ gives its compiler.
WEB_TIDY_SOURCES = $(wildcard web/*.cpp)
lint-tidy-web:
	@echo "clang-tidy $(WEB_TIDY_SOURCES)"
	@if clang-tidy -p $(WEB_BUILD) --quiet --extra-arg-before=--target=wasm32-unknown-emscripten \
		--extra-arg=--sysroot=/usr/share/emscripten/cache/sysroot --extra-arg=-D__EMSCRIPTEN__ \
		--extra-arg=-H $(WEB_TIDY_SOURCES) >$(WEB_BUILD)/lint-web.log 2>&1; then \
		$(call checked_headers,$(WEB_BUILD)/lint-web.log) >$(WEB_BUILD)/lint-web.headers; \
		echo "clang-tidy: $(words $(WEB_TIDY_SOURCES)) web files clean"; \
	else \
		grep -v $(TIDY_NOISE) $(WEB_BUILD)/lint-web.log >&2 || true; \
		exit 1; \
	fi

# The project headers that the clean runs above checked; one that no source reads fails.
lint-headers:
	@checked=$$(cat $(TIDY_STAMPS) $(WEB_BUILD)/lint-web.headers); \
	unchecked=$$(printf '%s\n' $(PROJECT_HEADERS) | grep -vxF "$$checked" || true); \
	if [ -n "$$unchecked" ]; then \
		echo "clang-tidy: no linted source reads these headers:" $$unchecked >&2; exit 1; \
	fi; \
	echo "clang-tidy: $$(printf '%s\n' $(PROJECT_HEADERS) | grep -cxF "$$checked") project headers checked"

lint-cppcheck:
	@echo "cppcheck"
	@cppcheck --project=$(BUILD)/compile_commands.json \
		$(patsubst %,--file-filter=%/*,$(CXX_DIRS)) \
		--enable=warning,style,performance,portability --library=qt --library=googletest \
		--suppress=missingIncludeSystem --suppress='preprocessorErrorDirective:$(BUILD)/*' \
		--inline-suppr --error-exitcode=1 --quiet \
		-j$(JOBS) --cppcheck-build-dir=$(BUILD)/lint --template=gcc
	@echo "cppcheck: clean"

$(BUILD)/lint/.dir:
	@mkdir -p $(@D) && touch $@
lint-cppcheck: | $(BUILD)/lint/.dir

# --- sanitizers -------------------------------------------------------------------------
# A separate Debug build with AddressSanitizer and UBSan; the first report ends the test.
# The end-to-end and install tests are left out: they run the real program in an X server
# or package it, which the sanitizer build is not meant for.
asan:
	@$(INSTALL) play test-libs
	@test -f $(ASAN_BUILD)/CMakeCache.txt || { set -x; \
		cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQORVELIN_TESTS=ON \
		"-DCMAKE_CXX_FLAGS=$(SANITIZE)" \
		"-DCMAKE_EXE_LINKER_FLAGS=$(SANITIZE)" \
		"-DCMAKE_SHARED_LINKER_FLAGS=$(SANITIZE)"; }
	cmake --build $(ASAN_BUILD)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -LE '^(e2e|install)$$'

# --- format -----------------------------------------------------------------------------
format:
	@$(INSTALL) format
	clang-format -i $(CXX_FILES)

format-check:
	@$(INSTALL) format
	@clang-format --dry-run --Werror $(CXX_FILES)
	@echo "clang-format: $(words $(CXX_FILES)) files clean"

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WEB_BUILD) $(RELEASE_BUILD) $(DIST)
