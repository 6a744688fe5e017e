# Two commands: `make run` starts the utility against a simulated TA,
# `make test` builds once and runs every test that needs no second build.
# `make check` runs those and the slow checks that build the project again
# (the Debian packages, the fuzzers); CI runs `make check`.
# Each target installs the Debian packages it needs (tools/install-deps.sh).
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps build test check run bench fuzz package clean

all: build

deps:
	@tools/install-deps.sh

# Warnings in the project's own code are errors here and in CI (.ci/run);
# `make TA_WERROR=OFF` builds with a compiler the code has not met yet.
TA_WERROR ?= ON
# `make build BUILD=build-release BUILD_TYPE=Release` for an optimised build.
BUILD_TYPE ?= RelWithDebInfo

configure = cmake -S . -B $(BUILD) -G Ninja -DTA_WERROR=$(TA_WERROR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DBUILD_TESTING=$(1)
# A new build folder for the programs alone needs no GoogleTest; the tests
# are switched on where they are built, and stay on.
configure-programs = [ -f $(BUILD)/build.ninja ] || $(call configure,OFF)
configure-tests = grep -qs '^BUILD_TESTING:BOOL=ON$$' $(BUILD)/CMakeCache.txt && [ -f $(BUILD)/build.ninja ] || \
	$(call configure,ON)

build:
	@tools/install-deps.sh test
	@$(configure-tests)
	cmake --build $(BUILD) -j $(JOBS)

# Tests labelled `rebuild` build the whole project once more.
test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) -LE rebuild

check:
	@tools/install-deps.sh check
	@$(MAKE) --no-print-directory test
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) -L rebuild

# The three programs alone, not the tests.
run:
	@tools/install-deps.sh run
	@$(configure-programs)
	cmake --build $(BUILD) -j $(JOBS) --target tautil tactl tasim
	@tools/run-demo.sh $(BUILD)

bench:
	@tools/install-deps.sh bench
	@$(configure-programs)
	@cmake --build $(BUILD) --target bench

fuzz:
	@tools/install-deps.sh fuzz
	@tests/fuzz/run-long.sh

# The upstream tarball, the source package and the Debian packages tactl,
# tasim and tautil in $(BUILD)/deb/ (see README), built by dpkg-buildpackage
# from a copy of the tree. Their maintainer: DEB_MAINTAINER="Name <address>",
# else DEBFULLNAME and DEBEMAIL when both are set, else the one of
# debian/control.
DEB_MAINTAINER ?= $(if $(and $(DEBFULLNAME),$(DEBEMAIL)),$(DEBFULLNAME) <$(DEBEMAIL)>)
export DEB_MAINTAINER
package:
	@tools/install-deps.sh package
	tools/build-deb.sh $(BUILD)/deb

clean:
	rm -rf $(BUILD)

# Every test under AddressSanitizer and UBSan, in a build of its own. Its
# warnings stay warnings: with the sanitizers gcc 12 warns falsely inside the
# standard library (std::regex, maybe-uninitialized).
ASAN_BUILD ?= build-asan
.PHONY: sanitize
sanitize:
	@tools/install-deps.sh test
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DTA_SANITIZE=ON -DTA_WERROR=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	QT_QPA_PLATFORM=offscreen \
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitize/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)
