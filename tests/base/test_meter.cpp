#include <gtest/gtest.h>

#include "base/meter.h"

namespace {

uint32_t Pixel(int row, int column) { return Meter_GetImage()[row * Meter_GetWidth() + column]; }

TEST(Meter, ValuesAreClampedAndStoredInTheirSlots) {
    Meter_Init();
    Meter_AddTimeValue(200, -5, 3, 4, 5);
    EXPECT_EQ(qmeter.samples[0][0], 127);
    EXPECT_EQ(qmeter.samples[0][1], 0);
    EXPECT_EQ(qmeter.samples[0][2], 4);  // d
    EXPECT_EQ(qmeter.samples[0][3], 5);  // e
    EXPECT_EQ(qmeter.samples[0][4], 3);  // c
    EXPECT_EQ(qmeter.writeIndex, 1);
}

TEST(Meter, NothingIsStoredBeforeInit) {
    Meter_Imp();
    Meter_AddTimeValue(1, 1, 1, 1, 1);
    EXPECT_EQ(qmeter.writeIndex, 0);
    EXPECT_EQ(qmeter.samples[0][0], 0);
}

TEST(Meter, NewestSampleIsPaintedAsAStackInTheLastButOneColumn) {
    Meter_Init();
    Meter_AddTimeValue(2, 1, 1, 1, 1);  // stored 2,1,1,1,1
    Meter_Frame();
    const int col = 254, bottom = 127;
    EXPECT_EQ(Pixel(bottom, col), METER_BLUE);
    EXPECT_EQ(Pixel(bottom - 1, col), METER_BLUE);
    EXPECT_EQ(Pixel(bottom - 2, col), METER_RED);
    EXPECT_EQ(Pixel(bottom - 3, col), METER_MAGENTA);
    EXPECT_EQ(Pixel(bottom - 4, col), METER_YELLOW);
    EXPECT_EQ(Pixel(bottom - 5, col), METER_GREEN);
    EXPECT_EQ(Pixel(bottom - 6, col), METER_BLACK);
    // Older columns hold empty samples: background and the two guide lines only.
    EXPECT_EQ(Pixel(bottom, 0), METER_BLACK);
    EXPECT_EQ(Pixel(94, 0), METER_GREY);
    EXPECT_EQ(Pixel(110, 0), METER_GREY);
    EXPECT_EQ(Pixel(110, 255), METER_GREY);
    EXPECT_EQ(Pixel(bottom, 255), METER_BLACK);
}

TEST(Meter, TallBarIsCutAtTheTopRow) {
    Meter_Init();
    Meter_AddTimeValue(127, 127, 127, 127, 127);
    Meter_Frame();
    EXPECT_EQ(Pixel(0, 254), METER_GREEN);  // the last layer ends clamped on row 0
    EXPECT_EQ(Pixel(127, 254), METER_BLUE);
    EXPECT_EQ(Pixel(1, 254), METER_BLUE);   // 127 units of blue reach row 1
}

}  // namespace
