# Thin wrapper over the CMake presets, so a fresh machine needs one command for each job.
# `play` builds the game alone (no tests, no GoogleTest) and prints nothing but the game: the
# build's own output goes to build/play.log, shown only when the build fails (a first build
# says so in one line on standard error).
# `test` and `sanitize` need GoogleTest; tests/run.sh runs a failed test once more and names
# any test that passes only then as flaky.
MAKEFLAGS += --no-print-directory
.PHONY: play test sanitize clean

play:
	@mkdir -p build
	@[ -x build/play/src/kessandor ] || echo "Building the game (the first time takes a minute; see build/play.log)" >&2
	@{ cmake --preset play && cmake --build --preset play --target kessandor; } >build/play.log 2>&1 || \
		{ cat build/play.log; exit 1; }
	@./build/play/src/kessandor

test:
	cmake --preset release && cmake --build --preset release && bash tests/run.sh release

sanitize:
	cmake --preset sanitize && cmake --build --preset sanitize && bash tests/run.sh sanitize

clean:
	rm -rf build
