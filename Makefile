# The two set-up commands of the README: `make run` and `make test`. Each one
# installs what is missing, configures and builds; a second call only rebuilds
# what changed.
.PHONY: all deps configure build run test bench clean

all: build

deps:
	@bash tools/install-deps.sh

build/default/build.ninja: | deps
	@cmake --preset default >/dev/null

configure: build/default/build.ninja

build: deps configure
	@cmake --build --preset default

run: build
	@bash tools/run-demo.sh

test: build
	@ctest --preset default

bench: build
	@bash tools/run-bench.sh

clean:
	rm -rf build
