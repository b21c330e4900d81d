# The two commands a new machine needs:
#   make run    installs what is missing, builds, and starts Zelvo for File
#   make test   installs what is missing, builds, and runs every test headless
BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build test run bench fuzz clean

all: build

deps:
	@scripts/install-deps.sh test

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

run:
	@scripts/install-deps.sh run
	@$(MAKE) --no-print-directory $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)
	$(BUILD)/bin/zelvo

bench: build
	cmake --build $(BUILD) --target benchmarks
	@for b in $(BUILD)/bench/*; do [ -f "$$b" ] && [ -x "$$b" ] && echo "== $$b" && "$$b"; done; true

clean:
	rm -rf $(BUILD)
