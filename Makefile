# Thin wrapper over the CMake presets, so a fresh machine needs one command for each job.
# `play` builds the game alone (no tests, no GoogleTest); `test` and `sanitize` need GoogleTest.
# The pseudo-terminal tests race real signals against a real terminal; on a loaded machine one
# of them has, rarely, failed once and then passed. A failed test is therefore run once more,
# alone, after the others; its first failure stays printed above, and a test that fails twice
# fails the command.
.PHONY: play test sanitize clean

play:
	cmake --preset play && cmake --build --preset play --target kessandor && ./build/play/src/kessandor

test:
	cmake --preset release && cmake --build --preset release && \
	{ ctest --preset release --output-on-failure || ctest --preset release --rerun-failed --output-on-failure; }

sanitize:
	cmake --preset sanitize && cmake --build --preset sanitize && \
	{ ctest --preset sanitize --output-on-failure || ctest --preset sanitize --rerun-failed --output-on-failure; }

clean:
	rm -rf build
