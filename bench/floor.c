/* The floor under the cost of a game: a program that does only what the game's output
 * demands. It reads its standard input to the end, as the game reads the players' answers,
 * then writes a recorded transcript to standard output with the same write calls the game
 * made: the same bytes, cut at the same places.
 *
 *   kessandor_floor CHUNKS < answers > transcript
 *
 * CHUNKS holds one line of decimal write sizes separated by spaces, then the transcript's
 * bytes (floor_compare.py records it from the game under strace). Plain C and the C library
 * only, so that starting it costs what starting any program costs. */
#define _POSIX_C_SOURCE 200809L /* O_CLOEXEC */

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

static int fail(const char* what) {
    perror(what);
    return 1;
}

/* Writes all `size` bytes with one write call, as long as the kernel takes them at once. */
static int writeAll(const char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t written = write(STDOUT_FILENO, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return -1;
        }
        bytes += written;
        size -= (size_t)written;
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fputs("usage: kessandor_floor CHUNKS < answers > transcript\n", stderr);
        return 2;
    }
    const int file = open(argv[1], O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (file < 0 || fstat(file, &info) != 0) {
        return fail(argv[1]);
    }
    char* chunks = malloc((size_t)info.st_size + 1);
    if (chunks == NULL || read(file, chunks, (size_t)info.st_size) != info.st_size) {
        return fail(argv[1]);
    }
    close(file);
    chunks[info.st_size] = '\0'; /* strtoul stops here at the latest */

    static char answers[65536];
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, answers, sizeof answers);
        if (got == 0 || (got < 0 && errno != EINTR)) {
            break;
        }
    }

    char* sizes = chunks;
    char* transcript = chunks;
    while (*transcript != '\n' && *transcript != '\0') {
        ++transcript;
    }
    ++transcript;
    for (;;) {
        char* end = NULL;
        const unsigned long size = strtoul(sizes, &end, 10);
        if (end == sizes || end > transcript) {
            break; /* past the line of sizes */
        }
        if (size > (size_t)(chunks + info.st_size - transcript)) {
            fputs("kessandor_floor: the sizes add up to more than the transcript\n", stderr);
            return 1;
        }
        if (writeAll(transcript, size) != 0) {
            return fail("write");
        }
        transcript += size;
        sizes = end;
    }
    free(chunks);
    return 0;
}
