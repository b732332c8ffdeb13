// Corvane's icon for its window: the pictures of its Windows icon file, which are the menu icon's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct GLFWwindow;

// One picture of the icon: RGBA pixels, straight alpha, row 0 at the top, as GLFW takes them.
struct IconImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
};

// The bytes of data/icons/corvane.ico, written into a source file by the build.
extern const std::uint8_t corvaneIcon[];
extern const std::size_t corvaneIconSize;

// The plain 32-bit bitmaps (a 40-byte header, no compression) of an icon file (.ico), in the
// file's order; none from a file whose header is not an icon's. Pictures stored otherwise, any
// entry that does not fit inside the file and any whose size is not its directory entry's are left
// out.
std::vector<IconImage> iconImages(const std::uint8_t* file, std::size_t size);

// Gives the window the pictures of data/icons/corvane.ico, built into the program. A window
// system that takes no icon from a program (Wayland) leaves the window as it is, silently.
void setWindowIcon(GLFWwindow* window);
