# Thin wrapper over the CMake presets, so a fresh machine needs one command for each job.
# `play` builds the game alone (no tests, no GoogleTest); `test` and `sanitize` need GoogleTest.
.PHONY: play test sanitize clean

play:
	cmake --preset play && cmake --build --preset play --target kessandor && ./build/play/src/kessandor

test:
	cmake --preset release && cmake --build --preset release && ctest --preset release

sanitize:
	cmake --preset sanitize && cmake --build --preset sanitize && ctest --preset sanitize

clean:
	rm -rf build
