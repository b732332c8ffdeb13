// The icon decoder on the real icon file, and on malformed ones, of which it decodes nothing and
// reads no byte beyond the size it is given.
#include "main/icon.h"

#include <gtest/gtest.h>

#include <functional>

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
    // One 1 × 1 picture of 32 bits, opaque red, in 70 bytes: its entry at 6, its header at 22.
    Bytes good;
    for (const auto& [at, value, bytes] :
         std::initializer_list<std::tuple<int, unsigned, int>>{{2, 1, 2},
                                                               {4, 1, 2},
                                                               {6, 0x0101, 2},
                                                               {14, 48, 4},
                                                               {18, 22, 4},
                                                               {22, 40, 4},
                                                               {26, 1, 4},
                                                               {30, 2, 4},
                                                               {34, 1, 2},
                                                               {36, 32, 2},
                                                               {62, 0xffff0000, 4},
                                                               {66, 0, 4}}) {
        set(good, at, value, bytes);
    }
    ASSERT_EQ(iconImages(good.data(), good.size()).at(0).rgba, Bytes({0xff, 0, 0, 0xff}));
    const std::pair<const char*, std::function<void(Bytes&)>> bad[] = {
        {"cut inside the file's header", [](Bytes& f) { f.resize(5); }},
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

} // namespace
