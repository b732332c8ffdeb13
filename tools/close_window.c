// Asks a top-level window to close, as a window manager's close button does.
// Usage: close_window WINDOW-ID (decimal or 0x hex).
#include "close_request.h"

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s WINDOW-ID\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "%s: cannot open the display\n", argv[0]);
        return 1;
    }
    sendCloseRequest(display, (Window)strtoul(argv[1], NULL, 0));
    XCloseDisplay(display);
    return 0;
}
