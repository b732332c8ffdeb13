// The frame probe's faults: a GLX with no current display, or a GL that GLEW finds no version of.
#include "probe.h"

#include <stdlib.h>
#include <string.h>

typedef struct _XDisplay Display;

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
