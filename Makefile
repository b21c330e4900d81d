# The two commands a new machine needs:
#   make run    installs what is missing, builds, and starts Zelvo for File
#   make test   installs what is missing, builds, and runs every test headless
BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE_FLAGS ?=
# The INI reader's fuzzer: its own clang build inside the build folder, where the corpus grows too.
FUZZ_BUILD ?= $(BUILD)/fuzz
FUZZ_SECONDS ?= 300

.PHONY: all deps build test run package bench fuzz fuzz-build fuzz-short clean

all: build

deps:
	@scripts/install-deps.sh test

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# The bounded fuzz run goes first so that CTest's summary is the last thing printed.
test: build
	@$(MAKE) --no-print-directory fuzz-short
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

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
	@mkdir -p $(FUZZ_BUILD)/corpus
	$(FUZZ_BUILD)/ini_fuzz $(FUZZ_BUILD)/corpus fuzz/corpus -dict=fuzz/ini.dict -max_len=16384 \
		-max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
		-artifact_prefix=$(FUZZ_BUILD)/

# The bounded run of `make test`.
fuzz-short:
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=60

clean:
	rm -rf $(BUILD)
