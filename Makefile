# The two commands a new machine needs:
#   make run    installs what is missing, builds, and starts Zelvo for File
#   make test   installs what is missing, builds, and runs every test headless
BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE_FLAGS ?=
# The fuzzers of the INI reader and of the checksum file's reader: their own clang build inside the
# build folder, where their corpora grow too. FUZZ_SECONDS is each one's time.
FUZZ_BUILD ?= $(BUILD)/fuzz
FUZZ_SECONDS ?= 300
FUZZ_FLAGS = -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
	-artifact_prefix=$(FUZZ_BUILD)/
# Sanitizer builds, each in a folder of its own.
ASAN_BUILD ?= build-asan
# -O1 -g: what the sanitizers are designed for, and quicker to compile than -O2 in CI.
SANITIZE_FLAGS ?= -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g"
TSAN_BUILD ?= build-tsan
# The Windows cross build (mingw-w64), whose tests run under Wine; and the release build that
# `make windows` packs.
WIN_BUILD ?= build-win
WIN_DIST_BUILD ?= build-windows

.PHONY: all deps build test run package bench fuzz fuzz-build fuzz-short sanitize asan tsan wine-test windows test-scale clean

all: build

deps:
	@scripts/install-deps.sh test

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# The bounded fuzz run and the sanitizer runs go first so that CTest's summary of the main
# build is the last thing printed.
test: build
	@$(MAKE) --no-print-directory fuzz-short
	@$(MAKE) --no-print-directory sanitize
	@$(MAKE) --no-print-directory wine-test
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE scale

sanitize: asan tsan

# AddressSanitizer + UndefinedBehaviorSanitizer over the whole test suite. Any report fails the
# test that caused it.
asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja $(SANITIZE_FLAGS) -DZELVO_SANITIZE=address,undefined \
		-DCMAKE_CXX_FLAGS="-fno-sanitize-recover=undefined"
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp:print_suppressions=0 \
		ctest --output-on-failure -j $(JOBS) -LE scale

# ThreadSanitizer over the tests where a worker thread runs beside its caller: those labelled
# "tsan" (the engine's runs and the dialogs' and worker channel's), built by target tsan_tests.
tsan: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja $(SANITIZE_FLAGS) -DZELVO_SANITIZE=thread
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target tsan_tests
	cd $(TSAN_BUILD) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/sanitizers/tsan.supp" \
		ctest --output-on-failure -j $(JOBS) -L tsan

run:
	@scripts/install-deps.sh run
	@$(MAKE) --no-print-directory $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)
	$(BUILD)/bin/zelvo

# A Debian package of the install tree (zelvo, zelvo-cli, Lang/, desktop entry, icon, metainfo).
package: build
	@scripts/install-deps.sh package
	cmake --build $(BUILD) --target package

bench: build
	cmake --build $(BUILD) --target benchmarks
	@for b in $(BUILD)/bench/*; do [ -f "$$b" ] && [ -x "$$b" ] && echo "== $$b" && "$$b"; done; true

fuzz-build: deps
	cmake -S fuzz -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

fuzz: fuzz-build
	@mkdir -p $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/sidecar-corpus
	$(FUZZ_BUILD)/ini_fuzz $(FUZZ_BUILD)/corpus fuzz/corpus -dict=fuzz/ini.dict -max_len=16384 $(FUZZ_FLAGS)
	$(FUZZ_BUILD)/sidecar_fuzz $(FUZZ_BUILD)/sidecar-corpus fuzz/sidecar-corpus -dict=fuzz/sidecar.dict \
		-max_len=65536 $(FUZZ_FLAGS)

# The bounded runs of `make test`: a minute for both.
fuzz-short:
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=30

# The scale tests at full size: a sparse 6 GiB source in 100 and 96 chips, and 4,095 MB chips.
# They write about 20 GiB, so CI runs them reduced (within `make test`).
test-scale: build
	cd $(BUILD) && ZELVO_SCALE=full ctest --output-on-failure -L scale

# The engine and the INI reader built with mingw-w64 and tested on the Win32 API under Wine, in a
# Wine prefix of their own inside the build folder (created on the first run).
wine-test: deps
	cmake -S . -B $(WIN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELVO_WITH_QT=OFF \
		-DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake
	cmake --build $(WIN_BUILD) -j $(JOBS)
	cd $(WIN_BUILD) && WINEPREFIX=$(abspath $(WIN_BUILD))/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
		ctest --output-on-failure

# Zelvo for Windows: zelvo.exe and zelvo-cli.exe (static, nothing beside them but the system's
# DLLs), the portable zip and the per-user installer, in $(WIN_DIST_BUILD)/dist.
windows:
	@scripts/install-deps.sh windows
	cmake -S . -B $(WIN_DIST_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DZELVO_WITH_QT=OFF -DBUILD_TESTING=OFF \
		-DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake
	cmake --build $(WIN_DIST_BUILD) -j $(JOBS) --target windows-dist
	@ls -l $(WIN_DIST_BUILD)/dist/*/*.exe $(WIN_DIST_BUILD)/dist/*.zip $(WIN_DIST_BUILD)/dist/*.exe

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(WIN_BUILD) $(WIN_DIST_BUILD)
