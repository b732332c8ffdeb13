// The frame probe's flights: the viewer's clock and keys, scripted frame by frame.
#include "probe.h"

#include "../flight_keys.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// The flight: the frame delta and, per frame, the keys held (bit i: flightKeys[i]).
static double flightDelta;
static unsigned char* heldKeys;
static long flightFrames = -1; // -1: not read yet; 0: no flight
static long clockReadings;     // the viewer's readings of the clock so far

static long readFlight(void) {
    const char* path = getenv("CORVANE_FLIGHT");
    FILE* file = path != NULL ? fopen(path, "r") : NULL;
    long total = 0;
    if (file == NULL || fscanf(file, " delta %lf", &flightDelta) != 1) {
        return file != NULL ? (fclose(file), 0) : 0;
    }
    long frames = 0;
    char line[256] = "";
    while (fscanf(file, " %ld%255[^\n]", &frames, line) >= 1 && frames > 0) {
        unsigned char held = 0;
        for (char* key = strtok(line, " \t"); key != NULL; key = strtok(NULL, " \t")) {
            for (unsigned i = 0; i < 8; ++i) {
                held |= strcmp(key, flightKeys[i].word) == 0 ? 1U << i : 0;
            }
        }
        unsigned char* grown = realloc(heldKeys, (size_t)(total + frames));
        if (grown == NULL) {
            break; // the flight ends with what fits
        }
        heldKeys = grown;
        memset(heldKeys + total, held, (size_t)frames);
        total += frames;
        line[0] = '\0';
    }
    fclose(file);
    return total;
}

int flying(void) {
    return flightLength() > 0;
}

long flightLength(void) {
    if (flightFrames < 0) {
        flightFrames = readFlight();
    }
    return flightFrames;
}

double glfwGetTime(void) {
    REAL(glfwGetTime)
    const int viewer = fromOutside(*(void**)&real, __builtin_return_address(0));
    const double now = viewer && flying() ? (double)clockReadings * flightDelta : real();
    clockReadings += viewer;
    LOG_CALL("glfwGetTime() = %.9f\n", now);
    return now;
}

// In flight, frame n (its clock read n times since start-up) holds the keys of its stretch.
int glfwGetKey(GLFWwindow* window, int key) {
    REAL(glfwGetKey)
    if (!flying()) {
        return real(window, key);
    }
    const long frame = clockReadings - 1;
    for (unsigned i = 0; i < 8; ++i) {
        if (flightKeys[i].glfwKey == key && frame >= 1 && frame <= flightFrames) {
            return (heldKeys[frame - 1] >> i) & 1U;
        }
    }
    return 0;
}
