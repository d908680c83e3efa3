# tovex — top-level build. `make demo` and `make test` are the two set-up commands.
BUILD     ?= build
JOBS      ?= 2
JAVA_HOME ?= /usr/lib/jvm/java-17-openjdk-amd64
PYTHON    ?= /usr/bin/python3

B         := $(abspath $(BUILD))
HOST      := $(B)/host
HOSTASAN  := $(B)/host-asan
WIN       := $(B)/win
JAVAOUT   := $(B)/java
# tovex-build for other systems, cross-compiled with Zig (tools/zig/zig.lock, cmake/zig-*.cmake).
ZIG       := $(B)/zig
CROSS     := $(B)/cross
CROSS_TARGETS := linux-x86_64 linux-aarch64 macos-x86_64 macos-arm64
# The Maven plugin (tools/maven-plugin), built offline against Debian's Maven repository.
MAVEN     := $(B)/maven
MVN       := mvn -o -q -s /etc/maven/settings-debian.xml
VERSION   := $(shell cat VERSION)

export JAVA_HOME
export TOVEX_BUILD := $(B)
export WINEPREFIX  := $(B)/wineprefix
export WINEDEBUG   := -all
export WINEDLLOVERRIDES := mscoree,mshtml=
export TOVEX_ZIG_DIR := $(ZIG)/ziglang
# Zig's global cache (the targets' C and C++ runtime libraries, minutes to build and the same for
# every checkout) lives outside the build directory; its per-project cache stays in $(ZIG)/cache.
export ZIG_GLOBAL_CACHE_DIR ?= $(HOME)/.cache/tovex-zig
# Sanitizer runs: every finding ends the test, with its stack. (Leak suppressions:
# tests/host/lsan.supp, set for the tests by CMake.)
export ASAN_OPTIONS ?= abort_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS ?= print_stacktrace=1:halt_on_error=1
# Programs under Wine start with address randomization off: without Wine's preloader a start
# otherwise fails now and then (docs/testing.md, "Wine starts"). .ci/test-all.sh and the e2e
# harness (tests/e2e/tovex.py) do the same for themselves.
FIXED_LAYOUT := setarch $(shell uname -m) -R

.PHONY: all deps runtimes zig cross maven host host-asan win java dist test test-host test-asan test-win test-java test-e2e test-repeat demo bench fuzz wine-prefix clean

all: host win java cross maven

deps:
	@bash .ci/deps.sh
	@$(MAKE) --no-print-directory runtimes zig

# Real Windows Java runtimes (tools/runtimes/runtimes.lock) unpacked into $(B)/runtimes/<major>/.
runtimes:
	@$(PYTHON) tools/runtimes/fetch_runtimes.py --out $(B)/runtimes

# The pinned ziglang wheel unpacked into $(ZIG)/ziglang (tools/zig/fetch_zig.py).
zig:
	@$(PYTHON) tools/zig/fetch_zig.py --out $(ZIG)

# tovex-build alone for Linux (static, musl) x86-64 and aarch64 and macOS x86-64 and arm64:
# $(CROSS)/<os>-<arch>/tovex-build. Zig's own cache of the targets' C and C++ libraries
# is $(ZIG)/cache (the first build of a target fills it: a few minutes).
cross: zig
	@for t in $(CROSS_TARGETS); do \
	  cmake -S . -B $(CROSS)/$$t -DCMAKE_BUILD_TYPE=MinSizeRel \
	        -DCMAKE_TOOLCHAIN_FILE=$(abspath cmake/zig-$$t.cmake) >/dev/null && \
	  cmake --build $(CROSS)/$$t -j$(JOBS) || exit 1; \
	done

# The Maven plugin: $(MAVEN)/plugin/tovex-maven-plugin-$(VERSION).jar, carrying every builder,
# the stubs and tovex-runtime.jar (staged in $(MAVEN)/tools; `install -C` keeps unchanged files).
MAVEN_JAR := $(MAVEN)/plugin/tovex-maven-plugin-$(VERSION).jar
maven: cross win java
	@grep -q "<version>$(VERSION)</version>" tools/maven-plugin/pom.xml || \
	  { echo "tools/maven-plugin/pom.xml: its version is not $(VERSION) (VERSION)" >&2; exit 1; }
	@for t in $(CROSS_TARGETS); do install -C -D -m 755 $(CROSS)/$$t/tovex-build $(MAVEN)/tools/bin/$$t/tovex-build; done
	@install -C -D -m 644 $(WIN)/tovex-build.exe $(MAVEN)/tools/bin/windows-x86_64/tovex-build.exe
	@install -C -D -m 644 $(WIN)/launcher-gui.exe $(MAVEN)/tools/stubs/launcher-gui.exe
	@install -C -D -m 644 $(WIN)/launcher-console.exe $(MAVEN)/tools/stubs/launcher-console.exe
	@install -C -D -m 644 $(JAVAOUT)/tovex-runtime.jar $(MAVEN)/tools/lib/tovex-runtime.jar
	@if [ ! -f $(MAVEN_JAR) ] || [ -n "$$(find $(MAVEN)/tools tools/maven-plugin -newer $(MAVEN_JAR) -type f)" ]; then \
	  echo "mvn package: $(MAVEN_JAR)"; \
	  cd tools/maven-plugin && $(MVN) -Dtovex.tools=$(MAVEN)/tools -Dtovex.out=$(MAVEN)/plugin package; \
	fi

host:
	cmake -S . -B $(HOST) -DCMAKE_BUILD_TYPE=Release -DJAVA_HOME=$(JAVA_HOME) >/dev/null
	cmake --build $(HOST) -j$(JOBS)

# The host and builder unit tests built with AddressSanitizer and UndefinedBehaviorSanitizer.
host-asan:
	cmake -S . -B $(HOSTASAN) -DCMAKE_BUILD_TYPE=Debug -DTOVEX_SANITIZE=ON -DJAVA_HOME=$(JAVA_HOME) >/dev/null
	cmake --build $(HOSTASAN) -j$(JOBS)

win:
	cmake -S . -B $(WIN) -DCMAKE_BUILD_TYPE=MinSizeRel -DJAVA_HOME=$(JAVA_HOME) \
	      -DCMAKE_TOOLCHAIN_FILE=$(abspath cmake/mingw-w64.cmake) >/dev/null
	cmake --build $(WIN) -j$(JOBS)

java:
	$(MAKE) -C java jar OUT=$(JAVAOUT) JAVA_HOME=$(JAVA_HOME)

# The release zip: $(B)/dist/tovex-<VERSION>.zip (tools/dist/make_dist.py).
dist: all
	$(PYTHON) tools/dist/make_dist.py --build $(B) --java-home $(JAVA_HOME)

wine-prefix:
	@$(FIXED_LAYOUT) bash tests/wine-prefix.sh

test: deps all dist host-asan
	@bash .ci/test-all.sh

test-host: host
	ctest --test-dir $(HOST) --output-on-failure

test-asan: host-asan
	ctest --test-dir $(HOSTASAN) --output-on-failure

test-win: win wine-prefix
	$(FIXED_LAYOUT) wine cmd /c exit </dev/null >/dev/null 2>&1
	$(FIXED_LAYOUT) ctest --test-dir $(WIN) --output-on-failure

test-java: java
	$(MAKE) -C java test OUT=$(JAVAOUT) JAVA_HOME=$(JAVA_HOME)

test-e2e: all dist wine-prefix
	$(PYTHON) -m pytest -q --durations=12 tests/e2e $(PYTEST_ARGS)

# The end-to-end suite N times in a row (make test-repeat N=5); stops at the first failing run.
N ?= 5
test-repeat: all dist wine-prefix
	@case "$(N)" in ''|*[!0-9]*|0) echo "test-repeat: N must be a positive number, not '$(N)'" >&2; exit 2;; esac; \
	for i in $$(seq 1 $(N)); do \
	  echo "== e2e run $$i of $(N)"; \
	  $(PYTHON) -m pytest -q tests/e2e $(PYTEST_ARGS) || { echo "== e2e run $$i of $(N) FAILED"; exit 1; }; \
	done; echo "== e2e: all $(N) runs passed"

demo: deps all wine-prefix
	@$(FIXED_LAYOUT) bash tools/demo/run-demo.sh

bench: deps all
	@bash bench/run.sh

fuzz: deps
	@bash fuzz/run.sh

clean:
	rm -rf $(B)
