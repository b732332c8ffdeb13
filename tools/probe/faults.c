// Faults of GL, GLX and the display's connection: a GLX with no current display, a GL that GLEW
// finds no version of, a driver answering the viewer's glGetString with nothing, as a lost context
// does, or, once the file CORVANE_BROKEN_PIPE names exists, a display server gone as the viewer
// writes: each socket written to by writev or sendmsg is shut, so the write fails.
#include "probe.h"

#include <sys/stat.h>
#include <sys/uio.h>

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

// GLX's answer when no context is current: no display (a Display*, as far as the caller knows).
static void* noCurrentDisplay(void) {
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
