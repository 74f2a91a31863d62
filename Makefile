# The two commands of the README, plus the builds they share.
#   make run    install what is missing, build, start the game (a solo table)
#   make test   install what is missing, build with sanitizers, run every test
#   make fuzz   libFuzzer targets for FUZZ_SECONDS each (clang, sanitizers)
#   make bench  optimised build, run the benchmarks
#   make package  the Debian package of the release build: build/release/zandupelix_*.deb

JOBS        ?= $(shell nproc)
FUZZ_SECONDS ?= 30
RUN_ARGS    ?=

RELEASE = build/release
ASAN    = build/asan
FUZZ    = build/fuzz

.PHONY: run test fuzz bench deps release asan clean package

deps:
	@scripts/install-deps.sh

$(RELEASE)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(RELEASE) -G Ninja -DCMAKE_BUILD_TYPE=Release

$(ASAN)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZP_SANITIZE=ON

$(FUZZ)/build.ninja: CMakeLists.txt | deps
	CXX=clang++ cmake -S . -B $(FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZP_FUZZ=ON

release: deps $(RELEASE)/build.ninja
	cmake --build $(RELEASE) -j $(JOBS)

asan: deps $(ASAN)/build.ninja
	cmake --build $(ASAN) -j $(JOBS)

run: deps $(RELEASE)/build.ninja
	cmake --build $(RELEASE) -j $(JOBS) --target zandupelix zandupelix-server zandupelix-lobby
	$(RELEASE)/app/zandupelix $(RUN_ARGS)

# libdbus, which Qt loads for the desktop's services, keeps one buffer for the process.
test: asan
	cd $(ASAN) && LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  ctest --output-on-failure -j $(JOBS) --timeout 300

fuzz: deps $(FUZZ)/build.ninja
	cmake --build $(FUZZ) -j $(JOBS)
	scripts/run-fuzzers.sh $(FUZZ)/fuzz $(FUZZ_SECONDS)

bench: release
	scripts/run-benchmarks.sh $(RELEASE)/bench

# Only what the package holds is built; CPack's dpkg-shlibdeps finds its dependencies.
package: deps $(RELEASE)/build.ninja
	@scripts/install-deps.sh --package
	cmake --build $(RELEASE) -j $(JOBS) --target zandupelix zandupelix-lobby zandupelix-server \
	  zandupelix-directory zandupelix-pack packaging_docs
	cd $(RELEASE) && cpack

clean:
	rm -rf build
