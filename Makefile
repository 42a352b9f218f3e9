# Build, test and run the Slovenian speech synthesiser.
#   make test   Release build and tests (with the Wine tests where the cross tools are
#               installed, always with SINT_TEST_STRICT=1), the same under ASan/UBSan,
#               the threaded tests under TSan, then the Debian package test
#   make run    build, start the server and speak a sample paragraph into out/sample.wav
#   make deps   install what a fresh Debian 12 machine lacks
#   make install  sintsrv, the tools and the voice into PREFIX/lib/sint (links in
#               PREFIX/bin), sd_sint into Speech Dispatcher's module folder and
#               sint.conf into /etc/speech-dispatcher/modules; DESTDIR stages it
#   make deb    the Debian package dist/sint_<version>_<arch>.deb, checked by lintian
#   make test-deb  installs that package, speaks, runs the service's command and purges (root)
#   make windows  cross-build the Windows program folders and the installer

BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
JOBS       ?= $(shell nproc)
CMAKE_GEN  := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")
# Compiles go through ccache when the machine has it, with paths taken relative
# to this folder so that every clone of the repository shares the cache.
ifneq ($(shell command -v ccache 2>/dev/null),)
CMAKE_GEN += -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1
endif

APT_PACKAGES := cmake g++ make libgtest-dev libgmock-dev ninja-build ccache python3 sox \
                speech-dispatcher libexpat1-dev dpkg-dev lintian adduser haproxy \
                libcpp-httplib-dev nlohmann-json3-dev libmp3lame-dev libopusenc-dev libflac-dev \
                libopusfile-dev libmpg123-dev pkg-config lttoolbox lttoolbox-dev apertium-hbs-slv \
                espeak-ng praat python3-numpy python3-scipy python3-soundfile libsoxr0 python3-pyaudio \
                hunspell-sl hunspell-tools
# What only the tests use: the browser that drives sint-http's page (the Node
# packages come from the npm registry, installed by the test itself).
TEST_APT_PACKAGES := chromium
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

# $(call apt_install,PACKAGES[,OPTIONS]): installs those of the Debian packages
# that are missing, with apt-get's OPTIONS.
define apt_install
@missing=""; for p in $(1); do \
	    dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	    echo "Installing:$$missing"; \
	    $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $(2) $$missing; \
	fi
endef

PREFIX  ?= /usr/local
DESTDIR ?=

.PHONY: all build asan tsan test test-deps test-release test-asan test-tsan test-deb run deps fuzz fuzz-corpus bench clean format install deb

all: build

deps:
	$(call apt_install,$(APT_PACKAGES))

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

asan: deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSINT_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# The threaded tests (label "threaded": the engine, the server with workers,
# sd_sint, the protocol client) under ThreadSanitizer.
tsan: deps
	cmake -S . -B $(TSAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSINT_TSAN=ON
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target threaded_tests

# The Wine tests need the Windows program folders: where the cross tools are
# installed, make test builds them first (make windows installs the tools).
# In the strict mode (SINT_TEST_STRICT=1, as CI runs) it always does, so that
# the Wine tests run on a fresh machine too.
ifeq ($(SINT_TEST_STRICT),1)
WINDOWS_FIRST := windows
else
WINDOWS_FIRST := $(shell command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 && \
                   command -v wine >/dev/null 2>&1 && echo windows)
endif

test-deps:
	$(call apt_install,$(TEST_APT_PACKAGES))

test-release: $(WINDOWS_FIRST) build test-deps
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: asan
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# Every process of the run (the test programs and the sintsrv, sint-say and
# sd_sint they start) writes its reports to $(TSAN_BUILD)/reports/tsan.<pid>;
# any report fails the run, also one from a process whose exit no test checks.
test-tsan: tsan
	rm -rf $(TSAN_BUILD)/reports && mkdir -p $(TSAN_BUILD)/reports
	TSAN_OPTIONS=second_deadlock_stack=1:log_path=$(CURDIR)/$(TSAN_BUILD)/reports/tsan \
	    ctest --test-dir $(TSAN_BUILD) -L threaded --output-on-failure -j $(JOBS)
	@if [ -n "$$(ls -A $(TSAN_BUILD)/reports)" ]; then \
	    cat $(TSAN_BUILD)/reports/*; echo "ThreadSanitizer reported the above"; exit 1; \
	fi

test: test-release test-asan test-tsan test-deb

deb: build
	deploy/make-deb.sh $(BUILD) dist

test-deb: deb
	tests/deb/install_test.sh dist/sint_*_$$(dpkg-architecture -qDEB_HOST_ARCH).deb

# The build tree is installed as configured, with the prefix given at install
# time, so that installing never reconfigures it.
install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

run: build
	tools/run-sample.sh $(BUILD) out/sample.wav

# The fuzz targets need clang and its libFuzzer (the deps it runs install it).
fuzz: APT_PACKAGES += clang
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DSINT_BUILD_FUZZ=ON -DSINT_BUILD_TESTS=OFF
	cmake --build build-fuzz -j $(JOBS)

# Grows every fuzz target's corpus for FUZZ_SECONDS with libFuzzer and
# minimises it into fuzz/corpus/<target>/ (fuzz/regenerate_corpus.sh; name
# targets with FUZZ_TARGETS). The corpora are replayed by make test.
FUZZ_SECONDS ?= 300
fuzz-corpus: fuzz
	fuzz/regenerate_corpus.sh -t $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# bench_voice compares the system with espeak-ng in the same run.
BENCH_PACKAGES := espeak-ng

bench: build
	$(call apt_install,$(BENCH_PACKAGES))
	@for b in $$(find $(BUILD)/bench -type f -perm -u+x -name 'bench_*' | sort); do \
	    echo "== $$b"; "$$b" || echo "($$b failed)"; \
	done

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) build-fuzz build-win64 build-win32 dist

# make voice: rebuild the default voice (voice/wave/*.wav, voice/filenames.ini,
# voice/Cost.dat) from the donor voice espeak-ng, check it with the wave database
# and PSOLA (sint-voicecheck), and pack it (sintsrv -ustvaripodatke) into
# voice/data/MorvenaIdra.dat. Needs the donor only here, never at run time.
VOICE_PACKAGES := espeak-ng libespeak-ng-dev sox

.PHONY: voice
voice:
	$(call apt_install,$(VOICE_PACKAGES))
	python3 tools/voicebuild/build_voice.py --out voice
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS) --target sint-voicecheck sintsrv voice_files
	$(BUILD)/sintsrv/sint-voicecheck
	rm -f $(BUILD)/sintsrv/data/MorvenaIdra.dat
	cd $(BUILD)/sintsrv && ./sintsrv -ustvaripodatke -konzola

# make voice-from RECORDINGS=folder NAME=name [PROMPTS=file] [PORT=n]: a voice
# from a person's recordings of the prompt list (ID.wav in any format libsndfile
# reads), aligned, pitch-marked and packed by tools/voicebuild/voice_from.py into
# $(BUILD)/voices/NAME, a program folder like $(BUILD)/sintsrv with its own port
# in sint.ini. Names the takes to record again and any missing diphone. Debian's
# python3 runs it, for its numpy, scipy and soundfile.
PROMPTS ?= voice/prompts/prompts_sl.txt

.PHONY: voice-from
voice-from: build
	@if [ -z "$(RECORDINGS)" ] || [ -z "$(NAME)" ]; then \
	    echo "usage: make voice-from RECORDINGS=folder NAME=name [PROMPTS=file] [PORT=n]"; exit 2; fi
	/usr/bin/python3 tools/voicebuild/voice_from.py --recordings "$(RECORDINGS)" --name "$(NAME)" \
	    --prompts "$(PROMPTS)" --program $(BUILD)/sintsrv --out $(BUILD)/voices/$(NAME) \
	    $(if $(PORT),--port $(PORT))

# make windows: cross-build the Windows program folders build-win64/sintsrv and
# build-win32/sintsrv with mingw-w64 (sintsrv.exe, sint-say.exe, sint-g2p.exe,
# MorvDll.dll, MorvDllYu.dll, sint-sapi-host.exe, sint.ini and the default
# voice with its packed database, made by the Linux sintsrv), and the installer
# dist/sint-sl-setup.exe with makensis. Installs the cross compilers, NSIS and
# Wine when missing; 32-bit Wine (wine32, for the installer and the 32-bit
# libraries under Wine) needs the i386 architecture, which is added for it.
WINDOWS_PACKAGES := mingw-w64 mingw-w64-tools nsis wine wine64 python3
WIN64_BUILD ?= build-win64
WIN32_BUILD ?= build-win32
INSTALLER   := dist/sint-sl-setup.exe

.PHONY: windows windows-deps
windows-deps:
	@dpkg --print-foreign-architectures | grep -qx i386 || $(SUDO) dpkg --add-architecture i386
	$(call apt_install,$(WINDOWS_PACKAGES) wine32:i386,--no-install-recommends)

windows: windows-deps deps
	cmake -S . -B $(WIN64_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
	cmake --build $(WIN64_BUILD) -j $(JOBS)
	cmake -S . -B $(WIN32_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
	cmake --build $(WIN32_BUILD) -j $(JOBS)
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS) --target sintsrv voice_files
	rm -rf $(BUILD)/voice-pack && cp -r $(BUILD)/sintsrv $(BUILD)/voice-pack && rm -rf $(BUILD)/voice-pack/data
	cd $(BUILD)/voice-pack && ./sintsrv -ustvaripodatke -konzola
	for d in $(WIN64_BUILD) $(WIN32_BUILD); do rm -rf $$d/sintsrv/data && cp -r $(BUILD)/voice-pack/data $$d/sintsrv/; done
	mkdir -p dist
	makensis -V2 -DWIN64_DIR=$(CURDIR)/$(WIN64_BUILD)/sintsrv -DWIN32_DIR=$(CURDIR)/$(WIN32_BUILD)/sintsrv \
	    -DOUT_FILE=$(CURDIR)/$(INSTALLER) deploy/windows/sint-sl.nsi
