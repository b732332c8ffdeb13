// Reading a flight file into its frame delta and the keys held frame by frame.
#include "flight.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// The bits of the keys named in `words`, which it takes apart.
static unsigned char keysNamed(char* words) {
    unsigned char held = 0;
    for (const char* key = strtok(words, " \t\r"); key != NULL; key = strtok(NULL, " \t\r")) {
        for (unsigned i = 0; i < 8; ++i) {
            held |= strcmp(key, flightKeys[i].word) == 0 ? 1U << i : 0;
        }
    }
    return held;
}

struct Flight readFlight(const char* path) {
    struct Flight flight = {0, 0, NULL};
    FILE* file = path != NULL ? fopen(path, "r") : NULL;
    if (file == NULL) {
        return flight;
    }
    long frames = 0;
    char words[256] = "";
    const int hasDelta = fscanf(file, " delta %lf", &flight.delta) == 1;
    while (hasDelta && fscanf(file, " %ld%255[^\n]", &frames, words) >= 1 && frames >= 0) {
        const unsigned char held = keysNamed(words);
        words[0] = '\0';
        // One byte spare, so that an empty flight so far still has a block to grow.
        unsigned char* grown = realloc(flight.keys, (size_t)(flight.frames + frames) + 1);
        if (grown == NULL) {
            break; // the flight ends with what fits
        }
        flight.keys = grown;
        memset(flight.keys + flight.frames, held, (size_t)frames);
        flight.frames += frames;
    }
    fclose(file);
    return flight;
}
