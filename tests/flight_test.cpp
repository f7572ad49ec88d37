// The flight engine driven through its own operations on the real windows.
#include <gtest/gtest.h>

#include "app/app.h"
#include "flight/flight.h"
#include "flight/screen.h"
#include "store/store.h"
#include "support.h"

namespace {

TEST(Random, DrawsTheFixedSequence)
{
    Flight_Reset();
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358};
    for (int value : expected) EXPECT_EQ(NextRandom(), value);
}

}  // namespace
