// The frame probe's logs and its test for the viewer's own calls (probe.h).
#include "probe.h"

#include <fcntl.h>
#include <stdarg.h>

int callLog = -2;

void appendLine(int* log, const char* variable, const char* format, ...) {
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

int fromOutside(void* function, void* caller) {
    Dl_info defined;
    Dl_info calling;
    return dladdr(function, &defined) == 0 || dladdr(caller, &calling) == 0 ||
           defined.dli_fbase != calling.dli_fbase;
}
