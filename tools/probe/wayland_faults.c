// Faults on Wayland, once the file CORVANE_WAYLAND_FAULT names exists, as it says: "gone", the
// connection ends in the viewer's wait for a frame, just after an answer for GLFW's own queue is
// read in; "swap", it ends so inside the buffer swap, as when the driver's read meets its end;
// "error", the compositor ends it for a protocol error (a buffer scale of 0 sent after a swap, read
// by whichever read comes next), and the probe writes the object it broke into the file; "hang",
// the probe closes the window and stops the compositor (SIGSTOP) as it closes. Whatever the file,
// the probe aborts a viewer that reaches glfwTerminate with its wait's queue alive.
#include "probe.h"

#include <poll.h>
#include <signal.h>
#include <wayland-client.h>

static struct wl_event_queue* preparedQueue; // the queue of the last read prepared
static struct wl_event_queue* viewerQueue;   // the queue of the viewer's wait, until destroyed
static int faultStage;                       // 1 once GLFW's answer is asked for, 2 once done

static int waylandFault(const char* kind) {
    const char* path = getenv("CORVANE_WAYLAND_FAULT");
    FILE* file = path != NULL && faultStage < 2 ? fopen(path, "re") : NULL;
    char text[8] = "";
    if (file != NULL) {
        text[fread(text, 1, sizeof text - 1, file)] = '\0';
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

// Called by the swap's wrapper (frame_log.c) once the frame is swapped.
void waylandFaultAfterSwap(GLFWwindow* window) {
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
