# Thin wrapper over the CMake presets, so a fresh machine needs one command for each job.
.PHONY: play test sanitize clean

play:
	cmake --preset release && cmake --build --preset release --target kessandor && ./build/release/src/kessandor

test:
	cmake --preset release && cmake --build --preset release && ctest --preset release

sanitize:
	cmake --preset sanitize && cmake --build --preset sanitize && ctest --preset sanitize

clean:
	rm -rf build
