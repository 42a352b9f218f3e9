# Build, test and run the Slovenian speech synthesiser.
#   make test   Release build and tests, then the same under ASan/UBSan
#   make run    build, start the server and speak a sample paragraph into out/sample.wav
#   make deps   install what a fresh Debian 12 machine lacks
#   make install  sintsrv, the tools and the voice into PREFIX/lib/sint (links in
#               PREFIX/bin), sd_sint into Speech Dispatcher's module folder and
#               sint.conf into /etc/speech-dispatcher/modules; DESTDIR stages it

BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_GEN  := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

APT_PACKAGES := cmake g++ make libgtest-dev libgmock-dev ninja-build sox speech-dispatcher haproxy
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

PREFIX  ?= /usr/local
DESTDIR ?=
# Where the installed Speech Dispatcher looks for its modules and their configurations.
SD_MODULE_DIR ?= $(firstword $(wildcard /usr/lib/speech-dispatcher-modules \
                     /usr/libexec/speech-dispatcher-modules) /usr/lib/speech-dispatcher-modules)
SD_CONF_DIR   ?= /etc/speech-dispatcher/modules

.PHONY: all build asan test test-release test-asan run deps fuzz bench clean format install

all: build

deps:
	@missing=""; for p in $(APT_PACKAGES); do \
	    dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	    echo "Installing:$$missing"; \
	    $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

asan: deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSINT_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test-release: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: asan
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

test: test-release test-asan

install: build
	cmake -S . -B $(BUILD) -DCMAKE_INSTALL_PREFIX=$(PREFIX) \
	    -DSINT_SPEECHD_MODULE_DIR=$(SD_MODULE_DIR) -DSINT_SPEECHD_CONF_DIR=$(SD_CONF_DIR)
	DESTDIR=$(DESTDIR) cmake --install $(BUILD)

run: build
	tools/run-sample.sh $(BUILD) out/sample.wav

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DSINT_BUILD_FUZZ=ON -DSINT_BUILD_TESTS=OFF
	cmake --build build-fuzz -j $(JOBS)

bench: build
	@for b in $$(find $(BUILD)/bench -type f -perm -u+x -name 'bench_*' | sort); do \
	    echo "== $$b"; "$$b" || echo "($$b failed)"; \
	done

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz

# make voice: rebuild the default voice (voice/wave/*.wav, voice/filenames.ini,
# voice/Cost.dat) from the donor voice espeak-ng, check it with the wave database
# and PSOLA (sint-voicecheck), and pack it (sintsrv -ustvaripodatke) into
# voice/data/MorvenaIdra.dat. Needs the donor only here, never at run time.
VOICE_PACKAGES := espeak-ng libespeak-ng-dev sox

.PHONY: voice
voice:
	@missing=""; for p in $(VOICE_PACKAGES); do \
	    dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	    echo "Installing:$$missing"; \
	    $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi
	python3 tools/voicebuild/build_voice.py --out voice
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS) --target sint-voicecheck sintsrv voice_files
	$(BUILD)/sintsrv/sint-voicecheck
	rm -f $(BUILD)/sintsrv/data/MorvenaIdra.dat
	cd $(BUILD)/sintsrv && ./sintsrv -ustvaripodatke -konzola
