# Thin entry points; the scripts hold the logic.
.PHONY: all deps build test demo fuzz bench release clean

all: build

deps:
	tools/bootstrap.sh

build: deps
	tools/build.sh

test:
	tests/run-tests.sh

demo:
	tools/demo.sh

fuzz: deps
	tools/build.sh native
	tools/fuzz.sh

bench: deps
	tools/build.sh x64
	tools/bench.sh

# The shipped exe of the current commit, signed when SIGN_PKCS12 is given: see tools/release.sh.
release: deps
	tools/release.sh

clean:
	rm -rf build
