// The one reader of flight files, as the frame probe flies them and the benchmark counts them.
#include "flight.h"

#include "harness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

TEST(Flight, AStretchOfNoFramesAddsNoneAndTheFlightReadsOn) {
    const std::string path = makeTempDir() + "/flight.txt";
    writeFile(path, "delta 0.25\n2 w left\n0 s\n1\n3 down\nend\n4 w\n");
    const Flight flight = readFlight(path.c_str());
    const std::vector<unsigned char> keys(flight.keys, flight.keys + flight.frames);
    std::free(flight.keys);
    EXPECT_EQ(flight.delta, 0.25);
    // w is bit 0, left bit 4, down bit 7; the line that is no count of frames ends the flight.
    EXPECT_EQ(keys, (std::vector<unsigned char>{0x11, 0x11, 0x00, 0x80, 0x80, 0x80}));
}

} // namespace
