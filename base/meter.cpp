#include "base/meter.h"

#include <cstring>

#include "base/cmd.h"
#include "base/files.h"
#include "common/com_string.h"
#include "common/common.h"

meter_t qmeter;

void Meter_Imp() { memset(&qmeter, 0, sizeof(qmeter)); }

void Meter_Init() {
    memset(&qmeter, 0, sizeof(qmeter));
    qmeter.initialised = 1;
}

void Meter_Shutdown() { qmeter.initialised = 0; }

uint8_t Meter_IsInitialzied() { return qmeter.initialised; }

int Meter_GetWidth() { return METER_WIDTH; }

int Meter_GetHeight() { return METER_HEIGHT; }

const uint32_t *Meter_GetImage() { return &qmeter.image[0][0]; }

static int32_t ClampValue(int v) { return v < 0 ? 0 : (v > METER_MAX_VALUE ? METER_MAX_VALUE : v); }

void Meter_AddTimeValue(int a, int b, int c, int d, int e) {
    if (!qmeter.initialised) return;
    int32_t *slot = qmeter.samples[qmeter.writeIndex];
    slot[0] = ClampValue(a);
    slot[1] = ClampValue(b);
    slot[2] = ClampValue(d);
    slot[3] = ClampValue(e);
    slot[4] = ClampValue(c);
    qmeter.writeIndex = (qmeter.writeIndex + 1) % METER_SAMPLES;
}

// Stacking order from the bottom: stored slot and its colour.
struct meterLayer_t {
    int slot;
    uint32_t colour;
};
static constexpr meterLayer_t meter_layers[METER_VALUES] = {
    {0, METER_BLUE}, {1, METER_RED}, {4, METER_MAGENTA}, {2, METER_YELLOW}, {3, METER_GREEN},
};

// Grey guide lines, 33 and 17 units above the bottom row.
static constexpr int meter_guideRows[] = {METER_HEIGHT - 1 - 33, METER_HEIGHT - 1 - 17};

void Meter_Frame() {
    for (auto &row : qmeter.image)
        for (uint32_t &pixel : row) pixel = METER_BLACK;

    // Column 255 stays black: 255 columns show the samples after the write index.
    for (int column = 0; column < METER_WIDTH - 1; column++) {
        const int32_t *sample = qmeter.samples[(qmeter.writeIndex + 1 + column) % METER_SAMPLES];
        int row = METER_HEIGHT - 1;
        for (const meterLayer_t &layer : meter_layers) {
            for (int n = 0; n < sample[layer.slot]; n++, row--)
                qmeter.image[row < 0 ? 0 : row][column] = layer.colour;
        }
    }

    for (int row : meter_guideRows)
        for (uint32_t &pixel : qmeter.image[row]) pixel = METER_GREY;
}

void Base_MapLink_f() {
    if (Cmd_Argc() != 2) {
        Com_Printf("USAGE: maplink <.map file>");
        return;
    }
    void *buffer = nullptr;
    if (FS_ReadFile(Cmd_Argv(1), &buffer) < 0 || !buffer) {
        Com_Printf("Could not open \"%s\"", Cmd_Argv(1));
        return;
    }
    FILE *out = FS_fopen("out.map", "wt");
    if (!out) {
        Com_Printf("Could not open output file");
        FS_FreeFile(buffer);
        return;
    }
    const char *text = static_cast<const char *>(buffer);
    int32_t previous = 0;  // carries across lines
    for (;;) {
        // The first word of a line may come after line breaks; the others may not.
        const char *word = Com_Parse(&text, true);
        if (!word[0]) break;
        for (; word[0]; word = Com_Parse(&text, false)) {
            if (strlen(word) >= 4 && word[4] == ':') {
                const int32_t address = Com_strtol(word + 5, nullptr, 16);
                fprintf(out, "S%d\t", static_cast<int>((static_cast<int64_t>(address) - previous) / 1000));
                previous = address;
            } else {
                fprintf(out, "%s ", word);
            }
        }
        fprintf(out, "\n");
    }
    FS_fclose(out);
    FS_FreeFile(buffer);
}
