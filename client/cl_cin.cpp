// The cinematic player and the film tools.
#include "client/cl_cin.h"

#include <cstdio>
#include <cstring>

#include "base/base.h"
#include "base/cmd.h"
#include "base/compress.h"
#include "base/files.h"
#include "base/renderer.h"
#include "client/cl_local.h"

constexpr int CIN_CODED_MAX = Com_RunLengthBound(CIN_BLOCK_SIZE);  // the largest frame a writer makes
constexpr int CIN_HISTOGRAM_BINS = 32 * 32 * 32;                     // five bits a channel
constexpr char CIN_ENCODE_OUT[] = "out.dxv";

// Playback state.  Frames are decoded one at a time into these fixed buffers.
static FILE *cin_file;
static char cin_path[FS_MAX_PATH];
static uint32_t cin_frameCount;
static uint32_t cin_nextFrame;
static int32_t cin_lastTime;  // game ms of the last frame change
static byte cin_image[CIN_IMAGE_SIZE];

// One block and one coded frame, shared by the player and both tools (never at once).
static byte cin_block[CIN_BLOCK_SIZE];
static byte cin_coded[CIN_CODED_MAX];

static uint32_t ReadLE32(const byte *p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

static void WriteLE32(byte *p, uint32_t v) {
    for (int k = 0; k < 4; k++) p[k] = static_cast<byte>(v >> (8 * k));
}

static int32_t ReadFS(void *destination, int32_t count, void *source) {
    return FS_Read(destination, count, static_cast<FILE *>(source));
}

// ---- reading ----

bool CIN_ReadFrame(cinRead_t read, void *source, byte *rgb, uint32_t *soundFrames) {
    byte head[4];
    if (read(head, 4, source) != 4) return false;
    const uint32_t size = ReadLE32(head);
    if (size == 0 || size > static_cast<uint32_t>(CIN_CODED_MAX)) return false;
    const int32_t n = static_cast<int32_t>(size);
    if (read(cin_coded, n, source) != n) return false;
    if (Com_RunLengthDecode(cin_block, CIN_BLOCK_SIZE, cin_coded, n) != CIN_BLOCK_SIZE) return false;
    const byte *palette = cin_block;
    const byte *indexes = cin_block + CIN_PALETTE_SIZE;
    for (int i = 0; i < CIN_PIXELS; i++) memcpy(rgb + 3 * i, palette + 3 * indexes[i], 3);
    if (soundFrames) *soundFrames = ReadLE32(cin_block + CIN_SOUND_COUNT_OFFSET);
    return true;
}

// ---- playing ----

void CIN_Init() {}
void CIN_Shutdown() {}

void CIN_EndCinematic() {
    if (cin_file) FS_fclose(cin_file);
    cin_file = nullptr;
}

uint8_t CIN_BeginCinematic(const char *path) {
    CIN_EndCinematic();
    if (!path) path = "";
    cin_file = FS_fopen(path, "rb");
    if (!cin_file) {
        Com_Error(ER_ERROR, "CIN_DecodeBegin: Could not open file \"%s\"", path);
        return 0;
    }
    byte head[4];
    if (FS_Read(head, 4, cin_file) != 4) {
        Com_Error(ER_ERROR, "CIN_DecodeBegin: \"%s\" has no frame count", path);
        CIN_EndCinematic();
        return 0;
    }
    Com_strncpyz(cin_path, path, sizeof(cin_path));
    cin_frameCount = ReadLE32(head);
    cin_nextFrame = 0;
    cin_lastTime = 0;
    return 1;
}

// The next frame into the image; false when the film has no more good frames.
static bool NextFrame() {
    if (!cin_file || cin_nextFrame >= cin_frameCount) return false;
    if (!CIN_ReadFrame(ReadFS, cin_file, cin_image, nullptr)) {
        Com_Error(ER_WARNING, "CIN_Draw: frame %u of \"%s\" is damaged; the film ends", cin_nextFrame, cin_path);
        return false;
    }
    cin_nextFrame++;
    return true;
}

uint8_t CIN_DrawCinematic(int32_t destination, int32_t x, int32_t y, int32_t w, int32_t h, void *a, int32_t b) {
    if (!cin_file) return 0;  // ended or never begun: no old image to show either
    // The first draw of a film always shows its first frame.
    if (cin_nextFrame == 0 || CL_Age(cin_lastTime) > CIN_FRAME_MSEC) {
        cin_lastTime = CL_Now();
        if (!NextFrame()) {
            CIN_EndCinematic();
            return 0;
        }
    }
    RE_DrawRaw(destination, x, y, w, h, CIN_WIDTH, CIN_HEIGHT, cin_image, a, b);
    return 1;
}

// ---- encoding ----

static int Bin(const byte *p) { return (p[2] >> 3) * 1024 + (p[1] >> 3) * 32 + (p[0] >> 3); }

void CIN_MakePalette(byte palette[CIN_PALETTE_SIZE], const byte *rgb, int32_t pixels) {
    static int32_t counts[CIN_HISTOGRAM_BINS];
    memset(counts, 0, sizeof(counts));
    for (int32_t i = 0; i < pixels; i++) counts[Bin(rgb + 3 * i)]++;
    for (int e = 0; e < CIN_PALETTE_COLORS; e++) {
        int best = 0;
        for (int bin = 1; bin < CIN_HISTOGRAM_BINS; bin++)
            if (counts[bin] > counts[best]) best = bin;
        palette[3 * e + 0] = static_cast<byte>((best % 32) * 8);
        palette[3 * e + 1] = static_cast<byte>(((best / 32) % 32) * 8);
        palette[3 * e + 2] = static_cast<byte>((best / 1024) * 8);
        counts[best] = -1;  // out of the choice
    }
}

static byte Nearest(const byte *p, const byte palette[CIN_PALETTE_SIZE]) {
    int best = 0, bestDistance = 1 << 30;
    for (int e = 0; e < CIN_PALETTE_COLORS; e++) {
        int d = 0;
        for (int k = 0; k < 3; k++) {
            const int c = p[k] - palette[3 * e + k];
            d += c * c;
        }
        if (d < bestDistance) {
            bestDistance = d;
            best = e;
        }
    }
    return static_cast<byte>(best);
}

void CIN_MapPixels(byte *indexes, const byte *rgb, int32_t pixels, const byte palette[CIN_PALETTE_SIZE]) {
    // Images repeat their colours: remember the last colour met in each bin.
    static uint32_t lastColor[CIN_HISTOGRAM_BINS];
    static byte lastIndex[CIN_HISTOGRAM_BINS];
    memset(lastColor, 0xFF, sizeof(lastColor));  // no 24-bit colour has the top byte set
    for (int32_t i = 0; i < pixels; i++) {
        const byte *p = rgb + 3 * i;
        const uint32_t color = p[0] | p[1] << 8 | p[2] << 16;
        const int bin = Bin(p);
        if (lastColor[bin] != color) {
            lastColor[bin] = color;
            lastIndex[bin] = Nearest(p, palette);
        }
        indexes[i] = lastIndex[bin];
    }
}

// Fills the block's sound: frames mono samples from the cursor, stored as left and right.
static void FillSound(const sndWav_t &wav, int32_t *cursor, int32_t frames) {
    byte *sound = cin_block + CIN_SOUND_OFFSET;
    memset(sound, 0, CIN_SOUND_SIZE);
    WriteLE32(cin_block + CIN_SOUND_COUNT_OFFSET, static_cast<uint32_t>(frames));
    for (int32_t i = 0; i < frames && *cursor < wav.count; i++, (*cursor)++) {
        const uint16_t s = static_cast<uint16_t>(wav.samples[*cursor]);
        for (int k = 0; k < 2; k++) {
            sound[4 * i + 2 * k] = static_cast<byte>(s);
            sound[4 * i + 2 * k + 1] = static_cast<byte>(s >> 8);
        }
    }
}

static bool WriteAll(FILE *f, const void *data, size_t n) { return fwrite(data, 1, n, f) == n; }

static void CIN_Encode_f() {
    FILE *out = fopen(CIN_ENCODE_OUT, "wb");
    if (!out) {
        Com_Error(ER_ERROR, "cin_encode: couldn't create \"%s\"", CIN_ENCODE_OUT);
        return;
    }
    byte head[4];
    WriteLE32(head, CIN_ENCODE_FRAMES);
    bool ok = WriteAll(out, head, 4);
    int32_t written = 0;
    sndWav_t wav{};
    if (ok && !SND_LoadWAV("cin/sound.wav", &wav)) {
        Com_Error(ER_ERROR, "cin_encode: couldn't load \"cin/sound.wav\"");
        wav.count = -1;
    }
    int32_t cursor = 0;
    for (int f = 0; ok && wav.count >= 0 && f < CIN_ENCODE_FRAMES; f++) {
        char name[FS_MAX_PATH];
        Com_sprintf(name, sizeof(name), "cin/intro_%.4d.tga", f);
        int32_t width = 0, height = 0;
        const byte *rgb = RE_LoadTGA(name, &width, &height);
        if (!rgb || width != CIN_WIDTH || height != CIN_HEIGHT) break;
        FillSound(wav, &cursor, f == 0 ? CIN_FIRST_SOUND_FRAMES : CIN_SOUND_FRAMES);
        CIN_MakePalette(cin_block, rgb, CIN_PIXELS);
        CIN_MapPixels(cin_block + CIN_PALETTE_SIZE, rgb, CIN_PIXELS, cin_block);
        const int n = Com_RunLengthEncode(cin_coded, CIN_CODED_MAX, cin_block, CIN_BLOCK_SIZE);
        byte size[4];
        WriteLE32(size, static_cast<uint32_t>(n));
        ok = n > 0 && WriteAll(out, size, 4) && WriteAll(out, cin_coded, static_cast<size_t>(n));
        if (ok) written++;
    }
    // The head tells the frames that are really there, however the encoding ended.
    WriteLE32(head, static_cast<uint32_t>(written));
    ok = ok && fseek(out, 0, SEEK_SET) == 0 && WriteAll(out, head, 4);
    ok = fclose(out) == 0 && ok;
    if (!ok) {
        Com_Error(ER_ERROR, "cin_encode: couldn't write \"%s\"", CIN_ENCODE_OUT);
        return;
    }
    Com_Printf("cin_encode: %d frames written to \"%s\"", static_cast<int>(written), CIN_ENCODE_OUT);
}

// ---- decoding ----

static void CIN_Decode_f() {
    static byte rgb[CIN_IMAGE_SIZE];
    FILE *in = FS_fopen(CIN_ENCODE_OUT, "rb");
    if (!in) {
        Com_Error(ER_ERROR, "cin_decode: couldn't open \"%s\"", CIN_ENCODE_OUT);
        return;
    }
    byte head[4];
    const uint32_t count = FS_Read(head, 4, in) == 4 ? ReadLE32(head) : 0;
    uint32_t f = 0;
    for (; f < count && CIN_ReadFrame(ReadFS, in, rgb, nullptr); f++) {
        char name[FS_MAX_PATH];
        Com_sprintf(name, sizeof(name), "dxv_%.4u.tga", f);
        if (!RE_DumpTGA(name, rgb, CIN_WIDTH, CIN_HEIGHT)) {
            Com_Error(ER_ERROR, "cin_decode: couldn't write \"%s\"", name);
            break;
        }
    }
    FS_fclose(in);
    Com_Printf("cin_decode: %u frames decoded", f);
}

void CIN_Imp() {
    Cmd_CreateFunction("cin_encode", CIN_Encode_f, 0);
    Cmd_CreateFunction("cin_decode", CIN_Decode_f, 0);
}
