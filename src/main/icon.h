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

// The uncompressed 32-bit pictures of an icon file (.ico), in the file's order. Pictures stored
// otherwise (PNG, fewer bits), any entry that does not fit inside the file and any whose size
// is not the one its directory entry gives are left out.
std::vector<IconImage> iconImages(const std::uint8_t* file, std::size_t size);

// Gives the window the pictures of data/icons/corvane.ico, built into the program. A window
// system that takes no icon from a program (Wayland) leaves the window as it is, silently.
void setWindowIcon(GLFWwindow* window);
