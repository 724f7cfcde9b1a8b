// Cinematics: the film tools through the test renderer's image and sound files, and
// playback timing and damaged films.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/base.h"
#include "base/cmd.h"
#include "base/compress.h"
#include "client/cl_cin.h"
#include "tests/headless/re_headless.h"
#include "tests/support/capture.h"
#include "tests/support/fs_dir.h"

namespace {

using hm_test::Reported;

// A 400 x 300 image of few colours, all on the palette's 8-step grid: stripes by frame.
std::vector<byte> Image(int frame) {
    std::vector<byte> rgb(CIN_IMAGE_SIZE);
    const byte colours[4][3] = {{0, 0, 0}, {248, 8, 16}, {40, 200, 96}, {static_cast<byte>(8 * frame), 64, 128}};
    for (int y = 0; y < CIN_HEIGHT; y++)
        for (int x = 0; x < CIN_WIDTH; x++) memcpy(&rgb[3 * (y * CIN_WIDTH + x)], colours[(x / 50 + y / 100 + frame) % 4], 3);
    return rgb;
}

std::string Bytes(const std::vector<byte> &v) { return std::string(v.begin(), v.end()); }

std::string LE32(uint32_t v) {
    std::string s;
    for (int k = 0; k < 4; k++) s.push_back(static_cast<char>(v >> (8 * k)));
    return s;
}

// One coded frame of a block that shows the image of the frame.
std::string CodedFrame(int frame, int blockSize = CIN_BLOCK_SIZE) {
    std::vector<byte> block(CIN_BLOCK_SIZE, 0);
    const std::vector<byte> rgb = Image(frame);
    CIN_MakePalette(block.data(), rgb.data(), CIN_PIXELS);
    CIN_MapPixels(block.data() + CIN_PALETTE_SIZE, rgb.data(), CIN_PIXELS, block.data());
    std::vector<byte> coded(static_cast<size_t>(Com_RunLengthBound(blockSize)));
    const int n = Com_RunLengthEncode(coded.data(), static_cast<int>(coded.size()), block.data(), blockSize);
    return LE32(static_cast<uint32_t>(n)) + std::string(coded.begin(), coded.begin() + n);
}

// A frame whose runs would decode to more than one block.
std::string OverlongFrame() {
    std::string runs;
    for (int i = 0; i * 127 <= CIN_BLOCK_SIZE; i++) runs += std::string("\xFF\x00", 2);
    return LE32(static_cast<uint32_t>(runs.size())) + runs;
}

class Cinematics : public testing::Test {
protected:
    void SetUp() override {
        hm_test::StartCapture();
        RE_InstallHeadless();
        qbase.time = 5000;
    }
    void TearDown() override {
        CIN_EndCinematic();
        re = re_null;
        snd = snd_null;
        hm_test::StopCapture();
    }
    void Write(const std::string &name, const std::string &bytes) const {
        const std::filesystem::path path = std::filesystem::path(dir.path()) / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string Read(const std::string &name) const {
        std::ifstream f(std::filesystem::path(dir.path()) / name, std::ios::binary);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    static void Run(const char *command) {
        static bool made = false;
        if (!made) {
            Cmd_Startup();
            CIN_Imp();
        }
        made = true;
        Cmd_Add(command);
        Cmd_Flush();
    }
    // Draws at the given game time; the frame shown is the raw image the renderer got.
    bool DrawAt(uint32_t time) {
        qbase.time = time;
        return CIN_DrawCinematic(0, 0, 0, 640, 480, nullptr, 0);
    }

    hm_test::FsDir dir;
};

TEST(CinematicCodec, PaletteTakesFullestBinsThenEmptyOnesInOrder) {
    const std::vector<byte> rgb = Image(2);
    std::vector<byte> palette(CIN_PALETTE_SIZE);
    CIN_MakePalette(palette.data(), rgb.data(), CIN_PIXELS);
    // Every colour of the image has its exact entry; the rest are empty bins from bin 0 on.
    std::vector<byte> indexes(CIN_PIXELS);
    CIN_MapPixels(indexes.data(), rgb.data(), CIN_PIXELS, palette.data());
    for (int i = 0; i < CIN_PIXELS; i++) ASSERT_EQ(memcmp(&palette[3 * indexes[i]], &rgb[3 * i], 3), 0) << i;
    // Entry 4 is the first empty bin: bin 1 (R = 8), since black (bin 0) is taken.
    EXPECT_EQ(palette[3 * 4], 8);
    EXPECT_EQ(palette[3 * 4 + 1], 0);
    EXPECT_EQ(palette[3 * 255 + 2], 0);  // the last entries are all low bins: blue 0

    // Ties in distance go to the lowest entry.
    byte two[CIN_PALETTE_SIZE] = {};
    two[3] = 10;  // entry 1 = (10, 0, 0): as far from (5, 0, 0) as entry 0 is
    const byte pixel[3] = {5, 0, 0};
    byte index = 9;
    CIN_MapPixels(&index, pixel, 1, two);
    EXPECT_EQ(index, 0);
}

TEST(CinematicCodec, RunLengthRoundTripsAFrameBlock) {
    std::vector<byte> block(CIN_BLOCK_SIZE);
    for (int i = 0; i < CIN_BLOCK_SIZE; i++) block[i] = static_cast<byte>(i % 7 == 0 ? i : 0);
    std::vector<byte> coded(Com_RunLengthBound(CIN_BLOCK_SIZE)), back(CIN_BLOCK_SIZE);
    const int n = Com_RunLengthEncode(coded.data(), static_cast<int>(coded.size()), block.data(), CIN_BLOCK_SIZE);
    ASSERT_GT(n, 0);
    EXPECT_EQ(Com_RunLengthDecode(back.data(), CIN_BLOCK_SIZE, coded.data(), n), CIN_BLOCK_SIZE);
    EXPECT_EQ(back, block);
}

TEST_F(Cinematics, EncodeThenDecodeGivesTheImagesBackAndCountsTheFramesWritten) {
    std::vector<int16_t> sound(7000);
    for (size_t i = 0; i < sound.size(); i++) sound[i] = static_cast<int16_t>(i * 7 - 20000);
    Write("cin/sound.wav", SND_HeadlessWAV(sound));
    for (int f = 0; f < 3; f++) {
        const std::vector<byte> rgb = Image(f);
        char name[64];
        snprintf(name, sizeof(name), "cin/intro_%.4d.tga", f);
        Write(name, RE_HeadlessTGA(CIN_WIDTH, CIN_HEIGHT, rgb.data()));
    }
    Write("cin/intro_0003.tga", RE_HeadlessTGA(2, 2, Image(0).data()));  // wrong size: the end
    Run("cin_encode");
    const std::string film = Read("out.dxv");
    ASSERT_GE(film.size(), 4u);
    EXPECT_EQ(film.substr(0, 4), LE32(3));  // the frames really written, not 361

    // The blocks carry the sound: 5,100 frames first, then 1,700, each sample twice.
    struct memory_t {
        const std::string *data;
        size_t pos;
    };
    memory_t source{&film, 4};
    auto read = [](void *d, int32_t n, void *s) -> int32_t {
        auto *m = static_cast<memory_t *>(s);
        const size_t take = std::min(static_cast<size_t>(n), m->data->size() - m->pos);
        memcpy(d, m->data->data() + m->pos, take);
        m->pos += take;
        return static_cast<int32_t>(take);
    };
    std::vector<byte> rgb(CIN_IMAGE_SIZE);
    uint32_t soundFrames = 0;
    for (uint32_t expected : {5100u, 1700u, 1700u}) {
        ASSERT_TRUE(CIN_ReadFrame(read, &source, rgb.data(), &soundFrames));
        EXPECT_EQ(soundFrames, expected);
    }
    EXPECT_FALSE(CIN_ReadFrame(read, &source, rgb.data(), &soundFrames));

    // The stand-alone writer makes the same film from the same files.
    const std::string script = std::string(HM_SOURCE_DIR) + "/scripts/make_dxv.py";
    const std::string command = "python3 " + script + " " + dir.path() + "/py.dxv " + dir.path() +
                                "/cin/intro_0000.tga " + dir.path() + "/cin/intro_0001.tga " + dir.path() +
                                "/cin/intro_0002.tga --sound " + dir.path() + "/cin/sound.wav";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::string written = Read("py.dxv");
    EXPECT_EQ(written.substr(0, 4), LE32(3));
    memory_t mine{&film, 4}, theirs{&written, 4};
    std::vector<byte> other(CIN_IMAGE_SIZE);
    uint32_t otherSound = 0;
    for (int f = 0; f < 3; f++) {
        ASSERT_TRUE(CIN_ReadFrame(read, &mine, rgb.data(), &soundFrames)) << f;
        ASSERT_TRUE(CIN_ReadFrame(read, &theirs, other.data(), &otherSound)) << f;
        EXPECT_TRUE(rgb == other) << f;
        EXPECT_EQ(soundFrames, otherSound) << f;
    }

    Run("cin_decode");
    for (int f = 0; f < 3; f++) {
        char name[64];
        snprintf(name, sizeof(name), "dxv_%.4d.tga", f);
        EXPECT_EQ(Read(name), RE_HeadlessTGA(CIN_WIDTH, CIN_HEIGHT, Image(f).data())) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(dir.path()) / "dxv_0003.tga"));
}

TEST_F(Cinematics, EncodingWithoutSoundLeavesAnEmptyFilm) {
    Run("cin_encode");
    EXPECT_EQ(Read("out.dxv"), LE32(0));
    EXPECT_TRUE(Reported(ER_ERROR, "cin/sound.wav"));
}

TEST_F(Cinematics, FramesChangeOnlyAfterMoreThan30Milliseconds) {
    Write("film.dxv", LE32(3) + CodedFrame(0) + CodedFrame(1) + CodedFrame(2));
    ASSERT_TRUE(CIN_BeginCinematic("film.dxv"));
    const std::string first = Bytes(Image(0)), second = Bytes(Image(1)), third = Bytes(Image(2));
    struct step_t {
        uint32_t time;
        bool running;
        const std::string *shown;
    };
    const step_t steps[] = {
        {5000, true, &first},    // the first draw always shows frame 0
        {5030, true, &first},    // 30 ms later: still the old image
        {5031, true, &second},   // 31 ms: the next frame
        {5040, true, &second},
        {5062, true, &third},
        {5093, false, nullptr},  // no frame left: the film ends without drawing
        {5094, false, nullptr},  // and stays ended, old image or not
    };
    for (const step_t &s : steps) {
        re_headless.lastRaw.clear();
        EXPECT_EQ(DrawAt(s.time), s.running) << s.time;
        if (s.shown) EXPECT_TRUE(Bytes(re_headless.lastRaw) == *s.shown) << s.time;
        else EXPECT_TRUE(re_headless.lastRaw.empty()) << s.time;
    }
    EXPECT_EQ(re_headless.lastRawWidth, CIN_WIDTH);
    EXPECT_FALSE(DrawAt(6000));  // closed
}

TEST_F(Cinematics, EmptyMissingAndDamagedFilmsEndCleanly) {
    Write("empty.dxv", LE32(0));
    ASSERT_TRUE(CIN_BeginCinematic("empty.dxv"));
    EXPECT_FALSE(DrawAt(5000));
    EXPECT_EQ(re_headless.total.raws, 0);

    EXPECT_FALSE(CIN_BeginCinematic("missing.dxv"));
    EXPECT_TRUE(Reported(ER_ERROR, "CIN_DecodeBegin: Could not open file \"missing.dxv\""));
    Write("headless.dxv", "ab");
    EXPECT_FALSE(CIN_BeginCinematic("headless.dxv"));

    struct damage_t {
        const char *what;
        std::string frame;
    };
    const damage_t damages[] = {
        {"short block", CodedFrame(0, CIN_BLOCK_SIZE - 1)},
        {"size past the largest frame", LE32(1u << 30) + std::string(16, 'x')},
        {"size past the file", LE32(100) + std::string(10, 'x')},
        {"zero size", LE32(0)},
        {"runs past the block", OverlongFrame()},
    };
    for (const damage_t &d : damages) {
        hm_test::captured.errors.clear();
        Write("bad.dxv", LE32(2) + CodedFrame(0) + d.frame);
        ASSERT_TRUE(CIN_BeginCinematic("bad.dxv")) << d.what;
        EXPECT_TRUE(DrawAt(5000)) << d.what;
        EXPECT_FALSE(DrawAt(5100)) << d.what;
        EXPECT_TRUE(Reported(ER_WARNING, "frame 1 of \"bad.dxv\" is damaged")) << d.what << hm_test::AllErrors();
    }
}

}  // namespace
