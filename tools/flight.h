// Flight files, read by the frame probe, which flies them, and the frame benchmark. A flight file
// is "delta SECONDS", the frame delta, then one line per stretch of frames, "FRAMES [KEY...]",
// with the keys w s a d left right up down (flight_keys.h) held throughout it. A stretch of 0
// frames adds none and the flight reads on; blank lines are passed over; a line that does not
// start with a count of 0 or more ends the flight, as does the end of the file.
#pragma once

#include "flight_keys.h"

#ifdef __cplusplus
extern "C" {
#endif

struct Flight {
    double delta;        // seconds a frame
    long frames;         // 0: no flight (no file, or no delta line)
    unsigned char* keys; // per frame, the keys held: bit i for flightKeys[i]; free() it
};

struct Flight readFlight(const char* path);

#ifdef __cplusplus
}
#endif
