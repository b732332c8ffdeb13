// The icon decoder on the real icon file, on malformed ones, of which it decodes nothing and reads
// no byte beyond the size it is given, and on changes of the real file's header and directory.
#include "main/icon.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Writes `value` into `bytes` bytes at `at`, little-endian, growing the file as needed.
void set(Bytes& file, std::size_t at, std::uint32_t value, int bytes = 4) {
    file.resize(std::max(file.size(), at + bytes));
    for (int i = 0; i < bytes; ++i) {
        file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

TEST(Icon, DecodesThePicturesItCanAndNoOtherBytes) {
    EXPECT_EQ(iconImages(corvaneIcon, corvaneIconSize).size(), 5U);
    // One 1 × 1 picture of 32 bits, half-transparent red, in 70 bytes: its entry at 6, its header
    // at 22.
    const std::tuple<int, unsigned, int> fields[] = {
        {2, 1, 2},  {4, 1, 2},  {6, 0x0101, 2}, {14, 48, 4}, {18, 22, 4},         {22, 40, 4},
        {26, 1, 4}, {30, 2, 4}, {34, 1, 2},     {36, 32, 2}, {62, 0x80ff0000, 4}, {66, 0, 4}};
    Bytes good;
    for (const auto& [at, value, bytes] : fields) {
        set(good, at, value, bytes);
    }
    ASSERT_EQ(iconImages(good.data(), good.size()).at(0).rgba, Bytes({0xff, 0, 0, 0x80}));
    // The directory says 256 as 0: a picture of 256 × 256, its pixels after the header.
    Bytes large = good;
    set(large, 6, 0, 2), set(large, 14, 40 + 256 * 256 * 4), set(large, 26, 256),
        set(large, 30, 512);
    large.resize(22 + 40 + 256 * 256 * 4);
    const std::vector<IconImage> decoded = iconImages(large.data(), large.size());
    ASSERT_EQ(decoded.size(), 1U);
    EXPECT_EQ(decoded[0].width, 256);
    EXPECT_EQ(decoded[0].rgba.size(), 256U * 256 * 4);
    const std::pair<const char*, std::function<void(Bytes&)>> bad[] = {
        {"cut inside the file's header", [](Bytes& f) { f.resize(5); }},
        {"a reserved word not 0", [](Bytes& f) { set(f, 0, 1, 2); }},
        {"a cursor file", [](Bytes& f) { set(f, 2, 2, 2); }},
        {"a length under the header's", [](Bytes& f) { set(f, 14, 39); }},
        {"pixels beyond the length", [](Bytes& f) { set(f, 14, 43); }},
        {"compressed", [](Bytes& f) { set(f, 38, 3); }},
        {"an entry past the end", [](Bytes& f) { set(f, 18, 71); }},
        {"an entry so far past the end that size - offset wraps",
         [](Bytes& f) { set(f, 18, ~0U); }},
        {"an offset plus length that wraps", [](Bytes& f) { set(f, 14, 0xffffffea); }},
        {"a PNG picture", [](Bytes& f) { set(f, 22, 0x474e5089); }},
        {"24 bits", [](Bytes& f) { set(f, 36, 24, 2); }},
        {"no width", [](Bytes& f) { set(f, 26, 0); }},
        {"a width of 257", [](Bytes& f) { set(f, 26, 257); }},
        {"a height that is not doubled", [](Bytes& f) { set(f, 30, 1); }},
        {"a header twice as tall as its entry", [](Bytes& f) { set(f, 30, 4); }},
        // Five entries, four of them whole before the end: the fifth alone names the picture.
        {"a directory cut short", [](Bytes& f) {
             set(f, 4, 5, 2), set(f, 18, 71), set(f, 70, 0x0101, 2), set(f, 78, 48), set(f, 82, 22);
         }}};
    for (const auto& [name, change] : bad) {
        Bytes file = good;
        change(file);
        EXPECT_TRUE(iconImages(file.data(), std::min(good.size(), file.size())).empty()) << name;
    }
}

// Whether the directory entry at `at` of `file` gives `image`: its size, and a picture of that
// size that lies inside the file.
bool entryGives(const Bytes& file, std::size_t at, const IconImage& image) {
    std::uint32_t length = 0; // the machines we test on are little-endian
    std::uint32_t offset = 0;
    std::memcpy(&length, &file[at + 8], 4);
    std::memcpy(&offset, &file[at + 12], 4);
    const std::size_t width = file[at] == 0 ? 256 : file[at];
    const std::size_t height = file[at + 1] == 0 ? 256 : file[at + 1];
    const std::size_t bytes = width * height * 4;
    return image.width == int(width) && image.height == int(height) && image.rgba.size() == bytes &&
           40 + bytes <= length && std::size_t(offset) + length <= file.size();
}

// Each picture decoded from `file` lies inside it and is the size its directory gives, entry by
// entry in order. Under AddressSanitizer a read beyond `file`, sized to the byte, ends the run.
void expectPicturesInside(const Bytes& file) {
    const std::size_t entries = file.size() < 6 ? 0 : std::size_t(file[4]) | file[5] << 8;
    const std::size_t end = std::min(file.size(), 6 + 16 * entries);
    std::size_t at = 6; // the next entry
    for (const IconImage& image : iconImages(file.data(), file.size())) {
        while (at + 16 <= end && !entryGives(file, at, image)) {
            at += 16;
        }
        ASSERT_LE(at + 16, end) << image.width << " x " << image.height;
        at += 16;
    }
}

// Every cut inside the real file's header and directory (as long as its count of entries says),
// every value of every byte there, and 2000 random changes of 1 to 8 bytes anywhere in the file
// (a fixed seed).
TEST(Icon, KeepsInsideTheFileWhateverItsBytes) {
    const Bytes real(corvaneIcon, corvaneIcon + corvaneIconSize);
    for (std::size_t at = 0; at < 6 + 16 * std::size_t(real[4] | real[5] << 8); ++at) {
        expectPicturesInside(Bytes(real.begin(), real.begin() + std::ptrdiff_t(at)));
        for (int value = 0; value < 256; ++value) {
            Bytes file = real;
            file[at] = static_cast<std::uint8_t>(value);
            expectPicturesInside(file);
        }
    }
    std::mt19937 random(20261209);
    for (int run = 0; run < 2000; ++run) {
        Bytes file = real;
        for (auto changes = 1 + random() % 8; changes > 0; --changes) {
            file[random() % file.size()] = static_cast<std::uint8_t>(random());
        }
        expectPicturesInside(file);
    }
}

} // namespace
