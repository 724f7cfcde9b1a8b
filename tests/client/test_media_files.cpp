// The test renderer's image and sound files, which the film tools read and write:
// damaged, cut and hostile heads are refused without reading past the file, and
// nothing is written that its own head would misdescribe.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/headless/re_headless.h"
#include "tests/support/fs_dir.h"

namespace {

class MediaFiles : public testing::Test {
protected:
    void SetUp() override { RE_InstallHeadless(); }
    void TearDown() override {
        re = re_null;
        snd = snd_null;
    }
    void Write(const std::string &name, const std::string &bytes) const {
        std::ofstream(std::filesystem::path(dir.path()) / name, std::ios::binary) << bytes;
    }
    hm_test::FsDir dir;
};

std::string Le(uint32_t v, int bytes) {
    std::string out;
    for (int k = 0; k < bytes; k++) out.push_back(static_cast<char>(v >> (8 * k)));
    return out;
}

// An 18-byte TGA head.
std::string TgaHead(uint8_t idLength, uint8_t mapType, uint8_t type, uint32_t w, uint32_t h, uint8_t bits,
                    uint8_t descriptor) {
    return std::string(1, static_cast<char>(idLength)) + static_cast<char>(mapType) + static_cast<char>(type) +
           std::string(9, '\0') + Le(w, 2) + Le(h, 2) + static_cast<char>(bits) + static_cast<char>(descriptor);
}

TEST_F(MediaFiles, ImagesAreReadOnlyWhenTheirHeadAndPixelsAreWhole) {
    // 2 x 1 pixels, blue-green-red on disk: red then white.
    const std::string bgr("\x00\x00\xFF" "\xFF\xFF\xFF", 6);
    const std::string bgra = std::string("\x00\x00\xFF\x80" "\xFF\xFF\xFF\x80", 8);
    struct tgaCase_t {
        const char *what;
        std::string file;
        bool good;
    } cases[] = {
        {"24 bits", TgaHead(0, 0, 2, 2, 1, 24, 0x20) + std::string(bgr, 0, 6), true},
        {"32 bits after an id", TgaHead(3, 0, 2, 2, 1, 32, 0x20) + "abc" + bgra, true},
        {"pixels cut by a byte", TgaHead(0, 0, 2, 2, 1, 24, 0x20) + std::string(bgr, 0, 5), false},
        {"an id running past the pixels", TgaHead(255, 0, 2, 2, 1, 24, 0x20) + std::string(bgr, 0, 6), false},
        {"a head cut short", TgaHead(0, 0, 2, 2, 1, 24, 0x20).substr(0, 17), false},
        {"width 0", TgaHead(0, 0, 2, 0, 1, 24, 0x20) + std::string(bgr, 0, 6), false},
        {"height 0", TgaHead(0, 0, 2, 2, 0, 24, 0x20) + std::string(bgr, 0, 6), false},
        {"the largest sizes over six bytes", TgaHead(0, 0, 2, 65535, 65535, 32, 0x20) + std::string(bgr, 0, 6), false},
        {"colour-mapped", TgaHead(0, 1, 1, 2, 1, 24, 0x20) + std::string(bgr, 0, 6), false},
        {"run-length coded", TgaHead(0, 0, 10, 2, 1, 24, 0x20) + std::string(bgr, 0, 6), false},
        {"16 bits", TgaHead(0, 0, 2, 2, 1, 16, 0x20) + std::string(bgr, 0, 6), false},
        {"empty", "", false},
    };
    for (const tgaCase_t &c : cases) {
        Write("i.tga", c.file);
        int32_t w = -7, h = -7;
        const byte *rgb = RE_LoadTGA("i.tga", &w, &h);
        EXPECT_EQ(rgb != nullptr, c.good) << c.what;
        if (!c.good) {
            EXPECT_EQ(w, -7) << c.what << ": sizes untouched";
            EXPECT_EQ(h, -7) << c.what;
            continue;
        }
        ASSERT_NE(rgb, nullptr);
        EXPECT_EQ(w, 2);
        EXPECT_EQ(h, 1);
        EXPECT_EQ(std::vector<int>(rgb, rgb + 6), (std::vector<int>{255, 0, 0, 255, 255, 255})) << c.what;
    }
    int32_t w = 0, h = 0;
    EXPECT_EQ(RE_LoadTGA("missing.tga", &w, &h), nullptr);
}

TEST_F(MediaFiles, ImagesTooLargeForTheHeadAreNotWritten) {
    static const std::vector<byte> pixels(3 * 65536, 200);
    struct dumpCase_t {
        int32_t w, h;
        bool written;
    } cases[] = {{65535, 1, true}, {65536, 1, false}, {1, 65536, false}, {0, 1, false}, {1, -1, false}};
    for (const dumpCase_t &c : cases) {
        std::filesystem::remove(std::filesystem::path(dir.path()) / "out.tga");
        EXPECT_EQ(RE_DumpTGA("out.tga", pixels.data(), c.w, c.h) != 0, c.written) << c.w << " x " << c.h;
        EXPECT_EQ(std::filesystem::exists(std::filesystem::path(dir.path()) / "out.tga"), c.written);
        if (!c.written) continue;
        int32_t w = 0, h = 0;
        ASSERT_NE(RE_LoadTGA("out.tga", &w, &h), nullptr) << "what was written reads back";
        EXPECT_EQ(w, c.w);
        EXPECT_EQ(h, c.h);
    }
}

// A RIFF file of the given chunks.
std::string Riff(const std::string &chunks) { return "RIFF" + Le(4 + static_cast<uint32_t>(chunks.size()), 4) + "WAVE" + chunks; }
std::string Chunk(const char *id, const std::string &body) {
    std::string out = std::string(id, 4) + Le(static_cast<uint32_t>(body.size()), 4) + body;
    if (body.size() & 1) out.push_back('\0');
    return out;
}
std::string Format(uint32_t tag, uint32_t channels, uint32_t bits) {
    return Chunk("fmt ", Le(tag, 2) + Le(channels, 2) + Le(22050, 4) + Le(44100, 4) + Le(2, 2) + Le(bits, 2));
}

TEST_F(MediaFiles, SoundsAreReadOnlyFromWholeMono16BitChunks) {
    const std::string mono = Format(1, 1, 16), samples = Le(0x1234, 2) + Le(0xFFFE, 2);
    struct wavCase_t {
        const char *what;
        std::string file;
        std::vector<int16_t> want;  // the samples, when the file is good
        bool good;
    } cases[] = {
        {"no samples", Riff(mono + Chunk("data", "")), {}, true},  // first: nothing loaded before it
        {"plain", Riff(mono + Chunk("data", samples)), {0x1234, -2}, true},
        {"after an odd chunk", Riff(Chunk("LIST", "abc") + mono + Chunk("data", samples)), {0x1234, -2}, true},
        {"an odd data size", Riff(mono + Chunk("data", samples + "x")), {0x1234, -2}, true},
        {"data before its format", Riff(Chunk("data", samples) + mono), {}, false},
        {"stereo", Riff(Format(1, 2, 16) + Chunk("data", samples)), {}, false},
        {"8 bits", Riff(Format(1, 1, 8) + Chunk("data", samples)), {}, false},
        {"not PCM", Riff(Format(3, 1, 16) + Chunk("data", samples)), {}, false},
        {"a short format", Riff(Chunk("fmt ", Le(1, 2) + Le(1, 2)) + Chunk("data", samples)), {}, false},
        {"data longer than the file", Riff(mono + "data" + Le(0xFFFFFFFF, 4) + samples), {}, false},
        {"a head cut short", Riff(mono + Chunk("data", samples)).substr(0, 10), {}, false},
        {"not RIFF", "RIFX" + Riff(mono + Chunk("data", samples)).substr(4), {}, false},
    };
    for (const wavCase_t &c : cases) {
        Write("s.wav", c.file);
        sndWav_t info{-7, nullptr};
        const int16_t *got = SND_LoadWAV("s.wav", &info);
        EXPECT_EQ(got != nullptr, c.good) << c.what;
        if (!c.good) {
            EXPECT_EQ(info.count, -7) << c.what << ": untouched";
            continue;
        }
        EXPECT_EQ(info.samples, got) << c.what;
        ASSERT_EQ(info.count, static_cast<int32_t>(c.want.size())) << c.what;
        EXPECT_EQ(std::vector<int16_t>(got, got + info.count), c.want) << c.what;
    }
}

}  // namespace
