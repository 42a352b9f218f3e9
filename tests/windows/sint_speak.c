/* sint_speak.c FILE TEXT: speaks TEXT with the installed voice (the folder of
 * sint.dll, or SINT_VOICE) through libsint and writes the samples to FILE as
 * raw 16-bit little-endian PCM. Built against sint.h alone, for Windows and
 * for Linux, so that the two libraries can be compared. */
#include <stdio.h>

#include "sint.h"

static int write_samples(const int16_t *samples, size_t count, void *user) {
    return fwrite(samples, sizeof *samples, count, (FILE *)user) != count;
}

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: sint_speak FILE TEXT\n");
        return 2;
    }
    char error[256];
    sint_voice *voice = sint_open(NULL, error, sizeof error);
    if (!voice) {
        fprintf(stderr, "sint_speak: %s\n", error);
        return 1;
    }
    FILE *out = fopen(argv[1], "wb");
    int code = out ? sint_speak(voice, argv[2], 0, write_samples, out) : SINT_E_ARGUMENT;
    if (out && fclose(out) != 0) code = SINT_E_ARGUMENT;
    if (code != SINT_OK) fprintf(stderr, "sint_speak: %s\n", sint_strerror(code));
    sint_close(voice);
    return code != SINT_OK;
}
