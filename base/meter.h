// Performance meter and map link: two small developer tools.
//
// The meter keeps the last 256 samples of five frame-time values and paints
// them each engine frame into a 256 x 128 bar graph that a drawing layer can
// show.  The map link command turns a linker's map text into address distances.
#pragma once

#include <cstdint>

constexpr int METER_SAMPLES = 256;   // ring of samples, one image column each
constexpr int METER_VALUES = 5;      // values per sample
constexpr int METER_WIDTH = 256;     // image width in pixels
constexpr int METER_HEIGHT = 128;    // image height in pixels; row 0 is the top
constexpr int METER_MAX_VALUE = 127; // values are clamped to 0..127

// Pixels hold red in the lowest byte, then green, then blue, 0 on top.
constexpr uint32_t METER_BLACK = 0x000000;
constexpr uint32_t METER_BLUE = 0xFF0000;
constexpr uint32_t METER_RED = 0x0000FF;
constexpr uint32_t METER_MAGENTA = 0xFF00FF;
constexpr uint32_t METER_YELLOW = 0x00FFFF;
constexpr uint32_t METER_GREEN = 0x00FF00;
constexpr uint32_t METER_GREY = 0x7F7F7F;

struct meter_t {
    uint8_t initialised;
    // Each sample holds the values of Meter_AddTimeValue in the order a, b, d, e, c.
    int32_t samples[METER_SAMPLES][METER_VALUES];
    int32_t writeIndex;  // next ring slot, 0..255
    uint32_t image[METER_HEIGHT][METER_WIDTH];
};

extern meter_t qmeter;

void Meter_Imp();           // clears the meter
void Meter_Init();          // clears it and marks it initialised
void Meter_Shutdown();      // clears the initialised mark
uint8_t Meter_IsInitialzied();
int Meter_GetWidth();       // 256
int Meter_GetHeight();      // 128
const uint32_t *Meter_GetImage();  // METER_HEIGHT rows of METER_WIDTH pixels
// Stores one sample (each value clamped to 0..127) when initialised.
void Meter_AddTimeValue(int a, int b, int c, int d, int e);
// Repaints the image from the samples, oldest column first.
void Meter_Frame();

// The console command mapLink: converts a linker's map text into "out.map", each
// address word replaced by its distance from the previous address, in kilobytes.
void Base_MapLink_f();
