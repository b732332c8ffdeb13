// The window's icon: reading the pictures out of the built-in icon file and handing them to GLFW.
#include "icon.h"

#include <GLFW/glfw3.h>

#include <utility>

namespace {

// A little-endian number of `bytes` bytes at `at`.
std::uint32_t little(const std::uint8_t* at, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = value << 8 | at[i];
    }
    return value;
}

} // namespace

std::vector<IconImage> iconImages(const std::uint8_t* file, std::size_t size) {
    std::vector<IconImage> images;
    if (size < 6 || little(file, 2) != 0 || little(file + 2, 2) != 1) {
        return images;
    }
    const std::size_t entries = little(file + 4, 2);
    for (std::size_t entry = 0; entry < entries && 6 + 16 * (entry + 1) <= size; ++entry) {
        const std::uint8_t* directory = file + 6 + 16 * entry;
        const std::size_t length = little(directory + 8, 4);
        const std::size_t offset = little(directory + 12, 4);
        // A picture is a bitmap header of 40 bytes, then the colour rows from the bottom up,
        // blue, green, red and alpha, then a mask that 32 bits make redundant.
        if (offset > size || length > size - offset || length < 40 ||
            little(file + offset, 4) != 40) {
            continue;
        }
        // The header's height counts the mask's rows too: twice the directory's height. The
        // directory says 256 as 0.
        const std::uint8_t* header = file + offset;
        const auto width = static_cast<std::int32_t>(little(header + 4, 4));
        const auto height = static_cast<std::int32_t>(little(header + 8, 4)) / 2;
        if (width != (directory[0] == 0 ? 256 : directory[0]) ||
            height != (directory[1] == 0 ? 256 : directory[1]) ||
            little(header + 8, 4) != 2U * height || little(header + 14, 2) != 32 ||
            little(header + 16, 4) != 0 || 40 + std::size_t(width) * height * 4 > length) {
            continue;
        }
        IconImage image{width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 4)};
        std::uint8_t* out = image.rgba.data();
        for (int row = height - 1; row >= 0; --row) {
            const std::uint8_t* pixel = header + 40 + std::size_t(row) * width * 4;
            for (int column = 0; column < width; ++column, pixel += 4, out += 4) {
                out[0] = pixel[2], out[1] = pixel[1], out[2] = pixel[0], out[3] = pixel[3];
            }
        }
        images.push_back(std::move(image));
    }
    return images;
}

void setWindowIcon(GLFWwindow* window) {
    std::vector<IconImage> images = iconImages(corvaneIcon, corvaneIconSize);
    std::vector<GLFWimage> pictures;
    pictures.reserve(images.size());
    for (IconImage& image : images) {
        pictures.push_back({image.width, image.height, image.rgba.data()});
    }
    glfwSetWindowIcon(window, static_cast<int>(pictures.size()), pictures.data());
}
