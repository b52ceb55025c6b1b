# Two entry points: `make run` and `make test`. Each installs missing Debian
# packages first, then builds in its own folder.
RUN_BUILD  ?= build/run
TEST_BUILD ?= build/test
PKG_BUILD  ?= build/package
JOBS       ?= $(shell nproc)

.PHONY: run test deps build-run build-test package bench fuzz format clean

deps:
	@scripts/install-deps

build-run: deps
	cmake -S . -B $(RUN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_TESTS=OFF
	cmake --build $(RUN_BUILD) -j $(JOBS)

build-test: deps
	cmake -S . -B $(TEST_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON -DQUORVEL_TESTS=ON
	cmake --build $(TEST_BUILD) -j $(JOBS)

run: build-run
	@if [ -x $(RUN_BUILD)/src/app/quorvel ]; then $(RUN_BUILD)/src/app/quorvel $(ARGS); \
	else $(RUN_BUILD)/src/cli/quorvel-cli --help; fi

test: build-test
	cd $(TEST_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-label-summary -j $(JOBS)

# The Debian package, from a release build of its own:
# $(PKG_BUILD)/quorvel_VERSION_ARCH.deb
package: deps
	cmake -S . -B $(PKG_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_TESTS=OFF -DQUORVEL_BENCH=OFF
	cmake --build $(PKG_BUILD) -j $(JOBS)
	cd $(PKG_BUILD) && cpack

bench: deps
	bench/run

fuzz: deps
	scripts/run-fuzz $(FUZZ_SECONDS)

format:
	find src tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf build
