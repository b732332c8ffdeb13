// Corvane's entry point: start-up, the frame loop and shutdown.
#include "camera/camera.h"
#include "frame_pacing.h"
#include "lost_display.h"
#include "render/render.h"
#include "scene.h"
#include "shader/shader.h"
#include "sponge/sponge.h"
#include "window.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <glm/vec3.hpp>

#include <cstdlib>
#include <iostream>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

#ifdef _WIN32
// Started by a double-click, Corvane has a console of its own, which Windows closes as soon as the
// process ends: the message of a failed start-up would vanish unread. So only then, a run that
// ends other than by closing the window waits for Enter first, its own window gone (a window
// left open while the console waits would answer nothing). A prompt keeps its own text.
bool closedNormally = false;

void waitForEnterUnlessClosedNormally() {
    if (!closedNormally) {
        glfwTerminate();
        std::cout << "Press Enter to close this window.\n" << std::flush;
        std::cin.get();
    }
}

void keepFailuresReadable() {
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) == 1) {
        std::atexit(waitForEnterUnlessClosedNormally);
    }
}
#endif

// Reports a start-up step that failed, with the reason given (GLFW's or GLEW's words), and exits.
[[noreturn]] void failStartUp(const char* what, const char* why) {
    std::cout << what << ": " << (why != nullptr ? why : "no reason given") << '\n' << std::flush;
    glfwTerminate();
    std::exit(1);
}

// A string of the context's; a driver that answers none (a lost context) gets an empty one, which
// leaves the report's later lines, and the shaders' messages, to be printed.
const char* glString(GLenum name) {
    const auto* text = reinterpret_cast<const char*>(glGetString(name));
    return text != nullptr ? text : "";
}

} // namespace

int main() {
#ifdef _WIN32
    keepFailuresReadable();
#endif
    // The sponge is generated before the window exists. Each report line is flushed as it is
    // written, so that a pipe has it at once: the count before the window opens.
    corvane(0, {0.0f, 0.0f, 0.0f, scene::spongeEdge}, scene::spongeDepth);
    std::cout << instances.size() << '\n' << std::flush;

    failWritesToALostDisplay();
    const char* reason = nullptr;
    if (glfwInit() == GLFW_FALSE) {
        glfwGetError(&reason);
        failStartUp("Corvane could not initialise GLFW", reason);
    }
    GLFWwindow* window = openWindow(reason);
    if (window == nullptr) {
        failStartUp("Corvane could not open its window with an OpenGL 4.3 core context", reason);
    }
    failWhenTheXServerGoes();
    glfwMakeContextCurrent(window);
    glfwSwapInterval(1);
    // On an EGL context (a Wayland session) GLEW loads every GL function, then finds no GLX
    // display and says so: that status still means the functions are there.
    const GLenum glewStatus = glewInit();
    if (glewStatus != GLEW_OK && glewStatus != GLEW_ERROR_NO_GLX_DISPLAY) {
        failStartUp("Corvane could not load the OpenGL functions",
                    reinterpret_cast<const char*>(glewGetErrorString(glewStatus)));
    }
    // Paced after the last start-up step whose failure ends GLFW: the loop's end ends the pacing.
    FramePacing pacing = paceFrames(window);
    glEnable(GL_DEPTH_TEST);
    std::cout << "OpenGL version: " << glString(GL_VERSION) << '\n' << std::flush;
    std::cout << "GLSL version: " << glString(GL_SHADING_LANGUAGE_VERSION) << '\n' << std::flush;

    const CubeMesh mesh = createCubeMesh();
    [[maybe_unused]] const GLuint instanceBuffer = createInstanceBuffer(instances);
    const GLuint program = createProgram("vertex.fs", "fragment.fs");
    const CachedUniforms cached = lookUpCachedUniforms(program);
    FlyCamera camera;
    double lastTime = glfwGetTime();
    // The viewport shows the window's first 800 × 600 units: 800 × 600 pixels, unless the desktop
    // scales the window, which a Wayland output tells only once the first frames are shown.
    glm::ivec2 viewport{0, 0};
    fitViewportToScale(window, viewport);
    const glm::vec3 fogColor = scene::fogColor;

    while (glfwWindowShouldClose(window) == GLFW_FALSE) {
        const double now = glfwGetTime();
        const auto dt = static_cast<float>(now - lastTime);
        lastTime = now;

        const CameraFrame frame = updateCameraFrame(camera);
        applyCameraKeys(camera, window, dt, frame);

        fitViewportToScale(window, viewport);
        glClearColor(fogColor.r, fogColor.g, fogColor.b, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawFrame(program, cached, frame, camera.position, fogColor, mesh.vertexArray,
                  static_cast<GLsizei>(instances.size()));

        waitForNextFrame(pacing);
        glfwSwapBuffers(window);
        if (connectionLost(pacing)) {
            break; // the compositor went away, in the frame wait or the swap: said below
        }
        glfwPollEvents();
    }

    // GLFW takes a Wayland compositor that went away for a close request: that is no success.
    const bool lost = reportLostWaylandDisplay(pacing);
    endFramePacing(pacing);
    glfwTerminate();
#ifdef _WIN32
    closedNormally = true;
#endif
    return lost ? 1 : 0;
}
