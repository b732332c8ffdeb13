// Flights: the viewer's clock and keys, scripted frame by frame, and the window closed after the
// flight's last frame.
#include "probe.h"

static struct Flight flight;
static int flightRead;     // whether CORVANE_FLIGHT has been read
static long clockReadings; // the viewer's readings of the clock so far

long flightLength(void) {
    if (!flightRead) {
        flight = readFlight(getenv("CORVANE_FLIGHT"));
        flightRead = 1;
    }
    return flight.frames;
}

double glfwGetTime(void) {
    REAL(glfwGetTime)
    const int viewer = fromOutside(*(void**)&real, __builtin_return_address(0));
    const double now = viewer && flightLength() > 0 ? (double)clockReadings * flight.delta : real();
    clockReadings += viewer;
    LOG_CALL("glfwGetTime() = %.9f\n", now);
    return now;
}

// In flight, frame n (its clock read n times since start-up) holds the keys of its stretch.
int glfwGetKey(GLFWwindow* window, int key) {
    REAL(glfwGetKey)
    if (flightLength() == 0) {
        return real(window, key);
    }
    const long frame = clockReadings - 1;
    for (unsigned i = 0; i < 8; ++i) {
        if (flightKeys[i].glfwKey == key && frame >= 1 && frame <= flight.frames) {
            return (int)((flight.keys[frame - 1] >> i) & 1U);
        }
    }
    return 0;
}

void endFlightAfter(GLFWwindow* window, unsigned long frames) {
    if (flightLength() > 0 && (long)frames >= flightLength()) {
        REAL(glfwSetWindowShouldClose)
        real(window, 1);
    }
}
