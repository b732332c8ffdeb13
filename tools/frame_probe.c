// The frame probe, a test and benchmark aid preloaded into the viewer: it wraps some of its GLFW,
// GLEW, GLX, Wayland and socket calls for five jobs, one section each, switched on by environment
// variables (the table is in docs/testing.md): the call log, faults, faults on Wayland, flights,
// and the frame log with its pictures.
#define _GNU_SOURCE // NOLINT(bugprone-reserved-identifier): glibc's own switch
#include "flight.h" // and with it GLFW's declarations
#include "scene.h"

#include <GL/gl.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>

// The real function of that name, looked up once, as `real`.
#define REAL(name)                                                                                 \
    static __typeof__(&(name)) real;                                                               \
    if (real == NULL) {                                                                            \
        *(void**)&real = dlsym(RTLD_NEXT, #name);                                                  \
    }

// Appends one formatted line to the file named by `variable`, opened on first use (`*log` starts
// at -2); a log that cannot be opened or written is given up.
static void appendLine(int* log, const char* variable, const char* format, ...) {
    if (*log == -2) {
        const char* path = getenv(variable);
        *log = path != NULL ? open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
    }
    if (*log < 0) {
        return;
    }
    char line[256];
    va_list args;
    va_start(args, format);
    const int length = vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (length < 0 || length >= (int)sizeof line || write(*log, line, (size_t)length) != length) {
        *log = -1;
    }
}

// True when `caller` lies outside the library that defines `function`: the viewer's call, not
// one GLFW makes of its own functions.
static int fromOutside(void* function, void* caller) {
    Dl_info defined;
    Dl_info calling;
    return dladdr(function, &defined) == 0 || dladdr(caller, &calling) == 0 ||
           defined.dli_fbase != calling.dli_fbase;
}

// Logs the viewer's call of the wrapped function (`real`): one line ending in a newline.
static int callLog = -2;
#define LOG_CALL(...)                                                                              \
    do {                                                                                           \
        if (fromOutside(*(void**)&real, __builtin_return_address(0))) {                            \
            appendLine(&callLog, "CORVANE_CALL_LOG", __VA_ARGS__);                                 \
        }                                                                                          \
    } while (0)

// --- The call log: the viewer's context set-up, as it asked for it.

void glfwWindowHint(int hint, int value) {
    REAL(glfwWindowHint)
    LOG_CALL("glfwWindowHint(0x%X, 0x%X)\n", hint, value);
    real(hint, value);
}

GLFWwindow* glfwCreateWindow(int width, int height, const char* title, GLFWmonitor* monitor,
                             GLFWwindow* share) {
    REAL(glfwCreateWindow)
    LOG_CALL("glfwCreateWindow(%d, %d, \"%s\", %s, %s)\n", width, height, title,
             monitor != NULL ? "monitor" : "NULL", share != NULL ? "share" : "NULL");
    return real(width, height, title, monitor, share);
}

void glfwMakeContextCurrent(GLFWwindow* window) {
    REAL(glfwMakeContextCurrent)
    LOG_CALL("glfwMakeContextCurrent()\n");
    real(window);
}

void glfwWaitEventsTimeout(double timeout) {
    REAL(glfwWaitEventsTimeout)
    LOG_CALL("glfwWaitEventsTimeout(%g)\n", timeout);
    real(timeout);
}

void glfwSwapInterval(int interval) {
    REAL(glfwSwapInterval)
    LOG_CALL("glfwSwapInterval(%d)\n", interval);
    real(interval);
}

unsigned glewInit(void) {
    REAL(glewInit)
    // The flag in use: the viewer's own copy of it, should it ever set it.
    const unsigned char* experimental = dlsym(RTLD_DEFAULT, "glewExperimental");
    const int flag = experimental != NULL ? *experimental : -1;
    const unsigned status = real();
    LOG_CALL("glewInit() = %u with glewExperimental %d\n", status, flag);
    return status;
}

// --- Faults: a GLX with no current display, a GL that GLEW finds no version of, a driver that
// answers the viewer's glGetString with nothing, as a lost context does, or, once the file
// CORVANE_BROKEN_PIPE names exists, an X server that is gone just as the viewer writes to it: the
// socket is shut, and the kernel raises SIGPIPE for the write and fails it, as for a closed one.

static void breakPipe(int fd) {
    const char* broken = getenv("CORVANE_BROKEN_PIPE");
    struct stat file;
    if (broken != NULL && access(broken, F_OK) == 0 && fstat(fd, &file) == 0 &&
        S_ISSOCK(file.st_mode)) {
        shutdown(fd, SHUT_RDWR);
    }
}

ssize_t writev(int fd, const struct iovec* iovec, int count) {
    REAL(writev)
    breakPipe(fd);
    return real(fd, iovec, count);
}

ssize_t sendmsg(int fd, const struct msghdr* message, int flags) {
    REAL(sendmsg)
    breakPipe(fd);
    return real(fd, message, flags);
}

typedef struct _XDisplay Display; // NOLINT(bugprone-reserved-identifier): Xlib's own name

static Display* noCurrentDisplay(void) {
    return NULL;
}

// GLEW finds glGetString and glXGetCurrentDisplay through here.
void (*glXGetProcAddressARB(const unsigned char* name))(void) {
    REAL(glXGetProcAddressARB)
    if (getenv("CORVANE_NO_GLX_DISPLAY") != NULL &&
        strcmp((const char*)name, "glXGetCurrentDisplay") == 0) {
        return (void (*)(void))noCurrentDisplay;
    }
    if (getenv("CORVANE_NO_GL_VERSION") != NULL && strcmp((const char*)name, "glGetString") == 0) {
        return NULL;
    }
    return real(name);
}

const GLubyte* glGetString(GLenum name) {
    REAL(glGetString)
    return getenv("CORVANE_NO_GL_STRINGS") != NULL ? NULL : real(name);
}

// --- Faults on Wayland, once the file CORVANE_WAYLAND_FAULT names exists, as it says: "gone", the
// connection ends in the viewer's wait for a frame, just after an answer for GLFW's own queue is
// read in; "swap", it ends so inside the buffer swap, as when the driver's read meets its end;
// "error", the compositor ends it for a protocol error (a buffer scale of 0 sent after a swap,
// read by whichever read comes next), and the probe writes the object it broke into the file;
// "hang", the compositor stops (SIGSTOP) as the window is to close. Whatever the file, the viewer
// must have destroyed the queue of its wait before glfwTerminate, or the probe aborts it.

static struct wl_event_queue* preparedQueue; // the queue of the last read prepared
static struct wl_event_queue* viewerQueue;   // the queue of the viewer's wait, until destroyed
static int faultStage;                       // 1 once GLFW's answer is asked for, 2 once done

static int waylandFault(const char* kind) {
    const char* path = getenv("CORVANE_WAYLAND_FAULT");
    FILE* file = path != NULL && faultStage < 2 ? fopen(path, "re") : NULL;
    char text[8] = "";
    if (file != NULL && fgets(text, sizeof text, file) == NULL) {
        text[0] = '\0';
    }
    if (file != NULL) {
        fclose(file);
    }
    return strncmp(text, kind, strlen(kind)) == 0;
}

static struct wl_display* glfwWaylandDisplay(void) {
    struct wl_display* (*get)(void) = NULL;
    if (getenv("CORVANE_WAYLAND_FAULT") != NULL) {
        *(void**)&get = dlsym(RTLD_DEFAULT, "glfwGetWaylandDisplay");
    }
    return get != NULL ? get() : NULL;
}

int wl_display_prepare_read_queue(struct wl_display* display, struct wl_event_queue* queue) {
    REAL(wl_display_prepare_read_queue)
    preparedQueue = queue;
    return real(display, queue);
}

void wl_event_queue_destroy(struct wl_event_queue* queue) {
    REAL(wl_event_queue_destroy)
    viewerQueue = queue == viewerQueue ? NULL : viewerQueue;
    real(queue);
}

// The viewer's wait is its one poll of the display alone, with a time limit.
int poll(struct pollfd* fds, nfds_t nfds, int timeout) {
    REAL(poll)
    struct wl_display* display = nfds == 1 && timeout > 0 ? glfwWaylandDisplay() : NULL;
    if (display == NULL || fds[0].fd != wl_display_get_fd(display)) {
        return real(fds, nfds, timeout);
    }
    viewerQueue = preparedQueue;
    if (waylandFault("gone") && faultStage == 0) {
        wl_display_sync(display); // its answer goes to GLFW's queue
        faultStage = 1;
    } else if (faultStage == 1 && wl_display_prepare_read(display) != 0) {
        shutdown(fds[0].fd, SHUT_RDWR); // with events in GLFW's queue
        faultStage = 2;
    } else if (faultStage == 1) {
        wl_display_cancel_read(display);
    }
    wl_display_flush(display);
    return real(fds, nfds, timeout);
}

// Called by the swap's wrapper (below) once the frame is swapped.
static void waylandFaultAfterSwap(GLFWwindow* window) {
    struct wl_display* display = glfwWaylandDisplay();
    if (display != NULL && waylandFault("error")) {
        struct wl_surface* (*surface)(GLFWwindow*) = NULL;
        *(void**)&surface = dlsym(RTLD_DEFAULT, "glfwGetWaylandWindow");
        wl_surface_set_buffer_scale(surface(window), 0);
        static int note = -2;
        appendLine(&note, "CORVANE_WAYLAND_FAULT", "error on wl_surface#%u\n",
                   wl_proxy_get_id((void*)surface(window)));
        faultStage = 2;
    } else if (display != NULL && waylandFault("swap")) {
        struct wl_event_queue* queue = wl_display_create_queue(display);
        wl_display_sync(display);                   // its answer goes to GLFW's queue,
        wl_display_roundtrip_queue(display, queue); // read in there, not dispatched
        shutdown(wl_display_get_fd(display), SHUT_RDWR);
        wl_display_roundtrip_queue(display, queue); // meets the connection's end
        wl_event_queue_destroy(queue);
        faultStage = 2;
    }
}

int glfwWindowShouldClose(GLFWwindow* window) {
    REAL(glfwWindowShouldClose)
    struct ucred compositor;
    socklen_t size = sizeof compositor;
    if (!waylandFault("hang") || glfwWaylandDisplay() == NULL ||
        getsockopt(wl_display_get_fd(glfwWaylandDisplay()), SOL_SOCKET, SO_PEERCRED, &compositor,
                   &size) != 0) {
        return real(window);
    }
    kill(compositor.pid, SIGSTOP);
    faultStage = 2;
    return 1;
}

void glfwTerminate(void) {
    REAL(glfwTerminate)
    if (viewerQueue != NULL) {
        fputs("frame probe: the viewer left the event queue of its wait for a frame\n", stderr);
        abort();
    }
    real();
}

// --- Flights: the viewer's clock and keys, scripted frame by frame.

static struct Flight flight;
static int flightRead;     // whether CORVANE_FLIGHT has been read
static long clockReadings; // the viewer's readings of the clock so far

static long flightLength(void) {
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

// --- The frame log, and in flight the picture of each frame.

// Saves the frame about to be presented as a binary PPM, top row first.
static void saveFrame(const char* directory, unsigned long frame) {
    enum { width = viewWidth, height = viewHeight, row = width * 3 };
    void (*readPixels)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*) = NULL;
    *(void**)&readPixels = dlsym(RTLD_DEFAULT, "glReadPixels");
    static unsigned char pixels[height][row];
    char path[4096];
    snprintf(path, sizeof path, "%s/%04lu.ppm", directory, frame);
    FILE* file = readPixels != NULL ? fopen(path, "wb") : NULL;
    if (file == NULL) {
        return;
    }
    readPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    fprintf(file, "P6\n%d %d\n255\n", width, height);
    for (int y = height - 1; y >= 0; --y) {
        fwrite(pixels[y], 1, row, file);
    }
    fclose(file);
}

void glfwSwapBuffers(GLFWwindow* window) {
    REAL(glfwSwapBuffers)
    static int frameLog = -2;
    static unsigned long frames;

    const char* saveTo = getenv("CORVANE_FLIGHT_FRAMES");
    if (saveTo != NULL && flightLength() > 0) {
        saveFrame(saveTo, frames + 1);
    }
    real(window);
    waylandFaultAfterSwap(window);
    ++frames;
    if (getenv("CORVANE_FRAME_LOG") != NULL) {
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        // With the frame done, the heap in use: unlike the resident size, without memory freed.
        const struct mallinfo2 heap = mallinfo2();
        appendLine(&frameLog, "CORVANE_FRAME_LOG", "%lu %lld.%09ld %zu\n", frames,
                   (long long)now.tv_sec, now.tv_nsec, heap.uordblks + heap.hblkhd);
    }
    if (flightLength() > 0 && (long)frames >= flightLength()) {
        REAL(glfwSetWindowShouldClose)
        real(window, 1);
    }
}
