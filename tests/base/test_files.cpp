#include <gtest/gtest.h>

#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/base.h"
#include "base/cmd.h"
#include "base/files.h"
#include "tests/base/small_disk.h"
#include "tests/support/capture.h"
#include "tests/support/fs_dir.h"
#include "common/com_hash.h"

namespace {

using hm_test::AllErrors;
using hm_test::captured;
using hm_test::Reported;

// ---- pack records written by hand, for the faults no archiver makes ----

struct RecordSpec {
    std::string name;
    std::string data;
    uint16_t version = 10;
    uint16_t flags = 0;
    uint16_t method = 0;
    std::string extra = "";
    int64_t packedSize = -1;  // -1: the data's size
    int64_t size = -1;
    int nameLength = -1;      // -1: the name's length
};

void Put16(std::string &s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8 & 0xFF);
}
void Put32(std::string &s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

uint32_t Crc(const std::string &data) {
    return static_cast<uint32_t>(
        crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef *>(data.data()), static_cast<uInt>(data.size())));
}

std::string Record(const RecordSpec &r) {
    std::string s;
    Put32(s, 0x04034B50);
    Put16(s, r.version);
    Put16(s, r.flags);
    Put16(s, r.method);
    Put32(s, 0);  // time and date
    Put32(s, Crc(r.data));
    Put32(s, static_cast<uint32_t>(r.packedSize < 0 ? static_cast<int64_t>(r.data.size()) : r.packedSize));
    Put32(s, static_cast<uint32_t>(r.size < 0 ? static_cast<int64_t>(r.data.size()) : r.size));
    Put16(s, static_cast<uint32_t>(r.nameLength < 0 ? static_cast<int>(r.name.size()) : r.nameLength));
    Put16(s, static_cast<uint32_t>(r.extra.size()));
    return s + r.name + r.extra + r.data;
}

std::string Central() {
    std::string s;
    Put32(s, 0x02014B50);
    return s + std::string(42, '\0');
}

std::string Pack(const std::vector<RecordSpec> &records) {
    std::string s;
    for (const RecordSpec &r : records) s += Record(r);
    return s + Central();
}

// Each test runs in its own base directory with capturing sinks.
class FilesTest : public ::testing::Test {
protected:
    hm_test::FsDir base;
    const std::string &dir = base.path();

    void SetUp() override {
        hm_test::StartCapture();
        memBlocks = Com_GetMemBlocks();
    }
    void TearDown() override {
        for (fsOpenFile_t &slot : fs.slots)
            if (slot.inUse) FS_fclose(slot.stream);
        FS_Shutdown();
        EXPECT_EQ(Com_GetMemBlocks(), memBlocks) << "records leaked";
        hm_test::StopCapture();
    }

    void Write(const std::string &path, const std::string &data) {
        const std::filesystem::path full = std::filesystem::path(dir) / path;
        std::filesystem::create_directories(full.parent_path());
        std::ofstream(full, std::ios::binary) << data;
    }

    // The whole file through the file system, or "<missing>".
    static std::string ReadWhole(const char *path) {
        void *buffer = nullptr;
        const int32_t n = FS_ReadFile(path, &buffer);
        if (n < 0) {
            EXPECT_EQ(buffer, nullptr);
            return "<missing>";
        }
        std::string s(static_cast<const char *>(buffer), static_cast<size_t>(n));
        EXPECT_EQ(static_cast<const char *>(buffer)[n], '\0');
        FS_FreeFile(buffer);
        return s;
    }

    // Runs a python3 script in the base directory; false when python3 is missing.
    bool Python(const std::string &script) {
        if (system("command -v python3 >/dev/null 2>&1") != 0) return false;
        Write("make.py", script);
        const std::string cmd = "cd '" + dir + "' && python3 make.py";
        EXPECT_EQ(system(cmd.c_str()), 0);
        return true;
    }

    int memBlocks = 0;
};

std::string AllBytes() {
    std::string s;
    for (int i = 0; i < 600; i++) s += static_cast<char>((i * 37 + 11) & 0xFF);
    return s;
}

TEST_F(FilesTest, StartUpTakesTheBaseDirectoryWithATrailingSlash) {
    char real[4096];
    ASSERT_NE(realpath(dir.c_str(), real), nullptr);
    EXPECT_EQ(std::string(fs.basePath), std::string(real) + "/");
    EXPECT_TRUE(fs.initialised);
}

TEST_F(FilesTest, PacksWrittenByPythonZipfileLoadAndReadBackExactly) {
    if (!Python(R"(
import zipfile
data = bytes((i * 37 + 11) & 0xFF for i in range(600))
with zipfile.ZipFile('game.pack', 'w', zipfile.ZIP_STORED) as z:
    z.writestr('scripts/', b'')
    z.writestr('scripts/empty.txt', b'')
    z.writestr('scripts/all.bin', data)
    z.writestr('a.txt', b'alpha')
)"))
        GTEST_SKIP() << "python3 is missing";
    EXPECT_EQ(FS_LoadPackBatch("game"), 1) << AllErrors();
    ASSERT_EQ(fs.packCount, 1);
    EXPECT_EQ(fs.packs->entryCount, 2);  // the directory and the empty file make no entry
    EXPECT_EQ(fs.packs->checksum, Crc(AllBytes()) ^ Crc("alpha"));
    EXPECT_EQ(ReadWhole("scripts/all.bin"), AllBytes());
    EXPECT_EQ(ReadWhole("a.txt"), "alpha");
    EXPECT_EQ(ReadWhole("scripts/empty.txt"), "<missing>");
    EXPECT_TRUE(captured.errors.empty()) << AllErrors();
}

TEST_F(FilesTest, PacksWrittenByZipInStoredModeLoad) {
    if (system("command -v zip >/dev/null 2>&1") != 0) GTEST_SKIP() << "zip is missing";
    Write("src/maps/all.bin", AllBytes());
    Write("src/readme.txt", "stored");
    const std::string cmd = "cd '" + dir + "/src' && zip -q -0 -X -r ../game2.pack maps readme.txt";
    ASSERT_EQ(system(cmd.c_str()), 0);
    EXPECT_EQ(FS_LoadPackBatch("game"), 1) << AllErrors();
    ASSERT_EQ(fs.packCount, 1);
    EXPECT_EQ(std::string(fs.packs->path), "game2.pack");
    EXPECT_EQ(ReadWhole("maps/all.bin"), AllBytes());
    EXPECT_EQ(ReadWhole("readme.txt"), "stored");
}

TEST_F(FilesTest, ArchiverOutputThePackFormatRefusesIsNamed) {
    if (system("command -v zip >/dev/null 2>&1") != 0) GTEST_SKIP() << "zip is missing";
    Write("src/a.txt", std::string(400, 'a'));
    // Without -X, zip adds time and owner fields; without -0 it deflates.
    const std::string cmd = "cd '" + dir + "/src' && zip -q -0 ../game.pack a.txt && zip -q ../game1.pack a.txt";
    ASSERT_EQ(system(cmd.c_str()), 0);
    EXPECT_EQ(FS_LoadPackBatch("game"), 0);
    EXPECT_EQ(fs.packCount, 0);
    EXPECT_TRUE(Reported("game.pack corrupt file (extra field \"a.txt\")")) << AllErrors();
    EXPECT_TRUE(Reported("game1.pack corrupt file (compressed entry \"a.txt\")")) << AllErrors();
}

// Python marks a name outside ASCII with the UTF-8 flag, which packs may not carry:
// the refusal names the flag and the entry.
TEST_F(FilesTest, PythonUtf8NameIsRefusedByItsFlag) {
    if (!Python(R"(
import zipfile
with zipfile.ZipFile('game.pack', 'w', zipfile.ZIP_STORED) as z:
    z.writestr('caf\u00e9.txt', b'x')
)"))
        GTEST_SKIP() << "python3 is missing";
    EXPECT_EQ(FS_LoadPackBatch("game"), 0);
    EXPECT_TRUE(Reported("game.pack corrupt file (flags 0x0800 set \"caf\xC3\xA9.txt\")")) << AllErrors();
}

TEST_F(FilesTest, LooseFilesShadowPacksAndLaterPacksShadowEarlierOnes) {
    Write("game.pack", Pack({{.name = "a.txt", .data = "pack0"},
                             {.name = "b.txt", .data = "first"},
                             {.name = "b.txt", .data = "second"},
                             {.name = "c.txt", .data = "pack0"}}));
    Write("game3.pack", Pack({{.name = "a.txt", .data = "pack3"}}));
    Write("game77.pack", Pack({{.name = "z.txt", .data = "pack77"}}));
    Write("c.txt", "disk");
    const uint32_t before = qbase.packChecksum;
    EXPECT_EQ(FS_LoadPackBatch("game"), 1) << AllErrors();
    EXPECT_EQ(fs.packCount, 3);  // the walk does not stop at the missing numbers
    EXPECT_EQ(std::string(fs.packs->path), "game77.pack");
    EXPECT_EQ(ReadWhole("a.txt"), "pack3");
    EXPECT_EQ(ReadWhole("b.txt"), "second");
    EXPECT_EQ(ReadWhole("c.txt"), "disk");
    EXPECT_EQ(ReadWhole("z.txt"), "pack77");
    EXPECT_EQ(FS_LoadPackBatch("game"), 1);  // a second batch of the same name adds nothing
    EXPECT_EQ(fs.packCount, 3);
    EXPECT_EQ(qbase.packChecksum, before ^ Crc("pack0") ^ Crc("first") ^ Crc("second") ^ Crc("pack0") ^
                                            Crc("pack3") ^ Crc("pack77"));
    // Only the disk, or only the packs, when asked.
    void *buffer;
    EXPECT_EQ(FS_ReadFile2("a.txt", &buffer, 0, FS_DISK), -1);
    ASSERT_EQ(FS_ReadFile2("c.txt", &buffer, 0, FS_PACKS), 5);
    EXPECT_STREQ(static_cast<char *>(buffer), "pack0");
    FS_FreeFile(buffer);
}

TEST_F(FilesTest, PureModeReadsOnlyListedKindsFromDisk) {
    Write("game.pack", Pack({{.name = "tex/wall.tga", .data = "packed"}}));
    FS_LoadPackBatch("game");
    Write("config.cfg", "cfg");
    Write("tex/wall.tga", "loose");
    Write("tex/rock.tga", "loose");
    Write("tex/sky.disk.tga", "loose");
    Write("maps/x.VO2", "loose");
    FS_SetPure(1);
    EXPECT_EQ(FS_GetPure(), 1);
    EXPECT_EQ(ReadWhole("config.cfg"), "cfg");
    EXPECT_EQ(ReadWhole("tex/wall.tga"), "packed");
    EXPECT_EQ(ReadWhole("tex/sky.disk.tga"), "loose");
    EXPECT_EQ(ReadWhole("maps/x.VO2"), "loose");
    EXPECT_EQ(ReadWhole("tex/rock.tga"), "<missing>");
    EXPECT_EQ(FS_GetLastFOpenError(), FS_ERR_PURE);
    // The existence test ignores pure mode.
    EXPECT_EQ(FS_ReadFile2("tex/rock.tga", nullptr, 0, FS_ANYWHERE), 1);
    EXPECT_NE(FS_fopen2("tex/rock.tga", "rb", FS_DISK, 1), nullptr);
    FS_SetPure(0);
    EXPECT_EQ(ReadWhole("tex/wall.tga"), "loose");
}

TEST_F(FilesTest, OpenErrorsSayWhy) {
    EXPECT_EQ(FS_fopen("../escape.txt", "rb"), nullptr);
    EXPECT_EQ(FS_GetLastFOpenError(), FS_ERR_BAD_PATH);
    EXPECT_EQ(FS_fopen("c::x", "wb"), nullptr);
    EXPECT_EQ(FS_GetLastFOpenError(), FS_ERR_BAD_PATH);
    EXPECT_EQ(FS_fopen("nodir/x.txt", "wb"), nullptr);
    EXPECT_EQ(FS_GetLastFOpenError(), FS_ERR_WRITE);
    EXPECT_EQ(FS_fopen("missing.txt", "rb"), nullptr);
    EXPECT_EQ(FS_GetLastFOpenError(), FS_ERR_NONE);
    // A directory is not a file.
    Write("sub/x.txt", "x");
    EXPECT_EQ(FS_fopen("sub", "rb"), nullptr);
    EXPECT_EQ(FS_ReadFile2("sub", nullptr, 0, FS_ANYWHERE), 0);
    EXPECT_EQ(fs.openCount, 0);
}

// A damaged pack is refused whole, with the file named; the others still load.
TEST_F(FilesTest, HostilePacksAreRefusedAndTheRestStillLoads) {
    const std::string good = Record({.name = "ok.txt", .data = "fine"});
    struct Case {
        const char *what;
        std::string pack;
        const char *reason;
    } cases[] = {
        {"empty file", "", "cut short at byte 0"},
        {"no central directory", good, "cut short"},
        {"header cut short", good.substr(0, 20), "header cut short"},
        {"name cut short", good.substr(0, 33), "name cut short"},
        {"data cut short", good.substr(0, good.size() - 1), "data past the end of the file \"ok.txt\""},
        {"size past the end", Record({.name = "big", .data = "x", .packedSize = 0x7FFFFFF0, .size = 0x7FFFFFF0}) + Central(),
         "data past the end of the file \"big\""},
        {"size over 2 GB", Record({.name = "huge", .data = "x", .packedSize = 0xFFFFFFFF, .size = 0xFFFFFFFF}) + Central(),
         "entry larger than 2 GB \"huge\""},
        {"name length past the end", Record({.name = "n", .data = "", .nameLength = 200}), "name cut short"},
        {"name too long", Pack({{.name = std::string(255, 'n'), .data = "x"}}), "name too long"},
        {"bad magic", "PK\x05\x06" + std::string(40, '\0'), "magic"},
        {"deflated", Pack({{.name = "d.txt", .data = "x", .method = 8}}), "compressed entry \"d.txt\""},
        {"extra field", Pack({{.name = "e.txt", .data = "x", .extra = "UT\1\0\0"}}), "extra field \"e.txt\""},
        {"data descriptor", Pack({{.name = "f.txt", .data = "x", .flags = 8}}), "flags 0x0008 set \"f.txt\""},
        {"version", Pack({{.name = "v.txt", .data = "x", .version = 45}}), "version 4.5 too new \"v.txt\""},
        {"sizes differ", Pack({{.name = "s.txt", .data = "xx", .packedSize = 2, .size = 3}}), "stored and real sizes differ \"s.txt\""},
        {"zero byte in a name", Pack({{.name = std::string("evil.cfg\0x", 10), .data = "x"}}),
         "zero byte in the name \"evil.cfg\""},
        {"empty name", Pack({{.name = "", .data = "x"}}), "empty name \"\""},
        {"empty name of an empty entry", Pack({{.name = "", .data = ""}}), "empty name \"\""},
        {"bad record after a good one", good + "PK\x03\x04", "header cut short"},
    };
    Write("game1.pack", Pack({{.name = "other.txt", .data = "still here"}}));
    Write("loose.txt", "loose");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Write("game.pack", c.pack);
        captured.errors.clear();
        EXPECT_EQ(FS_LoadPackBatch("game"), 0);
        EXPECT_TRUE(Reported(std::string("FS_LoadPack2: game.pack corrupt file (") + c.reason)) << AllErrors();
        EXPECT_TRUE(Reported("Could not load pack \"game.pack\""));
        for (const auto &e : captured.errors) EXPECT_EQ(e.level, ER_ERROR);
        ASSERT_EQ(fs.packCount, 1);
        EXPECT_EQ(std::string(fs.packs->path), "game1.pack");
        EXPECT_EQ(ReadWhole("other.txt"), "still here");
        EXPECT_EQ(ReadWhole("ok.txt"), "<missing>");
        EXPECT_EQ(ReadWhole("loose.txt"), "loose");
        FS_Shutdown();
    }
}

TEST_F(FilesTest, PackOfOnlyACentralDirectoryLoadsEmpty) {
    Write("game.pack", Central());
    EXPECT_EQ(FS_LoadPackBatch("game"), 1);
    ASSERT_EQ(fs.packCount, 1);
    EXPECT_EQ(fs.packs->entryCount, 0);
    EXPECT_EQ(fs.packs->checksum, 0u);
}

TEST_F(FilesTest, EntryChangedOnDiskAfterLoadingIsRefused) {
    Write("game.pack", Pack({{.name = "a.txt", .data = "original"}}));
    FS_LoadPackBatch("game");
    Write("game.pack", Pack({{.name = "a.txt", .data = "modified"}}));
    EXPECT_EQ(ReadWhole("a.txt"), "<missing>");
    EXPECT_TRUE(Reported("\"a.txt\" modified inside \"game.pack\"")) << AllErrors();
    // The pack vanished: the open fails cleanly.
    ASSERT_EQ(unlink((dir + "/game.pack").c_str()), 0);
    EXPECT_EQ(FS_fopen("a.txt", "rb"), nullptr);
    EXPECT_TRUE(Reported("Could not open pack \"game.pack\""));
    EXPECT_EQ(fs.openCount, 0);
}

// A stream on a pack entry cannot outlive the entry's record: shutting down closes
// it with its pack, while disk files stay open.
TEST_F(FilesTest, ShutdownClosesPackEntryStreamsAndKeepsDiskFiles) {
    Write("game.pack", Pack({{.name = "in.txt", .data = "packed"}}));
    Write("disk.txt", "disk");
    FS_LoadPackBatch("game");
    ASSERT_NE(FS_fopen("in.txt", "rb"), nullptr);
    FILE *disk = FS_fopen("disk.txt", "rb");
    ASSERT_NE(disk, nullptr);
    FS_Shutdown();
    EXPECT_EQ(fs.packs, nullptr);
    EXPECT_EQ(fs.openCount, 1);
    for (const fsOpenFile_t &slot : fs.slots) EXPECT_TRUE(!slot.inUse || slot.stream == disk);
    EXPECT_EQ(FS_ReadLong(disk), 'd' | 'i' << 8 | 's' << 16 | 'k' << 24);
    EXPECT_EQ(ReadWhole("in.txt"), "<missing>");
    FS_fclose(disk);
}

TEST_F(FilesTest, WholeFileReadAddsZeroedExtraBytes) {
    Write("ten.bin", "0123456789");
    void *buffer = nullptr;
    ASSERT_EQ(FS_ReadFile2("ten.bin", &buffer, FS_EXTRA_25K, FS_ANYWHERE), 10);
    const byte *b = static_cast<const byte *>(buffer);
    for (int i = 10; i < 10 + FS_EXTRA_25K + 1; i++) ASSERT_EQ(b[i], 0) << i;
    FS_FreeFile(buffer);
    ASSERT_EQ(FS_ReadFile25K("ten.bin", &buffer), 10);
    FS_FreeFile(buffer);
    EXPECT_EQ(FS_ReadFile2("ten.bin", &buffer, -1, FS_ANYWHERE), -1);
    EXPECT_EQ(FS_ReadFile2("ten.bin", &buffer, 0x7FFFFFF0, FS_ANYWHERE), -1);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(fs.openCount, 0);
}

TEST_F(FilesTest, PackEntryStreamStaysInsideTheEntry) {
    const std::string data = "0123456789abcdefghij";  // 20 bytes
    Write("game.pack", Pack({{.name = "before", .data = "BEFORE"}, {.name = "e.bin", .data = data},
                             {.name = "after", .data = "AFTER"}}));
    FS_LoadPackBatch("game");
    FILE *f = FS_fopen("e.bin", "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(FS_FileSize(f), 20);
    char buf[100];
    EXPECT_EQ(FS_fseek(f, 10, FS_SEEK_SET), 0);
    EXPECT_EQ(FS_Read(buf, 100, f), 10);
    EXPECT_EQ(std::string(buf, 10), "abcdefghij");
    EXPECT_EQ(FS_Read(buf, 100, f), 0);
    EXPECT_EQ(FS_fseek(f, -20, FS_SEEK_CUR), 0);
    EXPECT_EQ(FS_ReadByte(f), '0');
    EXPECT_EQ(FS_fseek(f, -2, FS_SEEK_CUR), -1);  // before the entry
    EXPECT_EQ(FS_fseek(f, 21, FS_SEEK_SET), -1);  // past the entry
    EXPECT_EQ(FS_fseek(f, 0, FS_SEEK_END), 0);
    EXPECT_EQ(FS_Read(buf, 1, f), 0);
    EXPECT_EQ(FS_fseek(f, 0, 7), -1);
    EXPECT_EQ(captured.errors.size(), 1u);  // the bad origin is a bug report
    FS_Eof(f);
    EXPECT_TRUE(Reported("FS_Eof: Not supported for pack files"));
    FS_fclose(f);
}

TEST_F(FilesTest, StreamsReadAndWriteLittleEndianValues) {
    FILE *f = FS_fopen("v.bin", "wb");
    ASSERT_NE(f, nullptr);
    FS_WriteLong(-2, f);
    FS_WriteShort(0x1234, f);
    FS_WriteByte(0xAB, f);
    EXPECT_EQ(FS_WriteString("hi", f), 2);
    EXPECT_EQ(FS_FileSize(f), 9);
    FS_fclose(f);
    f = FS_fopen("v.bin", "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(FS_ftell(f), 0);
    EXPECT_EQ(FS_ReadLong(f), -2);
    EXPECT_EQ(FS_ReadShort(f), 0x1234);
    EXPECT_EQ(FS_ReadByte(f), 0xAB);
    EXPECT_EQ(FS_FileSize(f), 9);
    EXPECT_EQ(FS_ftell(f), 7);  // the size leaves the position alone
    EXPECT_FALSE(FS_Eof(f));
    EXPECT_EQ(FS_ReadShortNaked(f), 'h' | 'i' << 8);
    EXPECT_EQ(FS_ReadLong(f), 0);  // nothing left reads as 0
    EXPECT_TRUE(FS_Eof(f));
    FS_fclose(f);
    const std::string raw("\x01\x00\x00\x80\xFF\xFF\x07", 7);
    Write("n.bin", raw);
    FILE *plain = fopen((dir + "/n.bin").c_str(), "rb");
    EXPECT_EQ(FS_ReadLongNaked(plain), INT32_MIN + 1);
    EXPECT_EQ(FS_ReadShortNaked(plain), -1);
    EXPECT_EQ(FS_ReadByteNaked(plain), 7);
    fclose(plain);
}

TEST_F(FilesTest, WriteCopyAndDeleteFiles) {
    EXPECT_EQ(FS_WriteFile("w.txt", 5, "hello"), 5);
    EXPECT_EQ(FS_CopyFile("copy.txt", "w.txt"), 1);
    EXPECT_EQ(ReadWhole("copy.txt"), "hello");
    EXPECT_EQ(FS_CopyFile("copy2.txt", "missing.txt"), 0);
    EXPECT_EQ(FS_WriteFile("nodir/w.txt", 5, "hello"), -1);
    FS_DeleteFile((dir + "/copy.txt").c_str());
    EXPECT_EQ(ReadWhole("copy.txt"), "<missing>");
    EXPECT_EQ(FS_GetCRC("abc", 3), 0x352441C2u);
    EXPECT_EQ(FS_GetCRC("abc", 0), 0u);
}

// A disk that fills up before the buffer goes out is a failed write, not a short success.
TEST_F(FilesTest, WholeFileWriteCutShortByAFullDiskFails) {
    const std::string big(1000, 'x');
    int32_t written;
    {
        SmallDisk disk(100);
        ASSERT_TRUE(disk.ok());
        written = FS_WriteFile("big.txt", static_cast<int32_t>(big.size()), big.data());
    }
    EXPECT_EQ(written, -1);
}

TEST_F(FilesTest, SlotsRunOutBeforeTheFileIsLookedFor) {
    Write("x.txt", "x");
    for (int i = 0; i < FS_MAX_OPEN_FILES; i++) ASSERT_NE(FS_fopen("x.txt", "rb"), nullptr);
    EXPECT_EQ(fs.openCount, FS_MAX_OPEN_FILES);
    EXPECT_EQ(FS_fopen("missing.txt", "rb"), nullptr);
    ASSERT_EQ(captured.errors.size(), 1u);
    EXPECT_EQ(captured.errors[0].level, ER_FATAL);
    EXPECT_EQ(captured.errors[0].text, "FS_FineFreeOpenFile: Did't find free open file");
    FS_fclose(fs.slots[3].stream);
    FILE *again = FS_fopen("x.txt", "rb");
    EXPECT_EQ(again, fs.slots[3].stream);
    EXPECT_EQ(fs.watermark, FS_MAX_OPEN_FILES);
    // A handle in no slot.
    captured.errors.clear();
    FILE *stranger = fopen((dir + "/x.txt").c_str(), "rb");
    FS_fclose(stranger);
    EXPECT_EQ(FS_Read(nullptr, 1, stranger), 0);
    EXPECT_TRUE(Reported("FS_FineOpenFile: Did't find open file"));
    fclose(stranger);
    captured.prints.clear();
    FS_OpenFileList_f();
    ASSERT_EQ(captured.prints.size(), 25u);
    EXPECT_NE(captured.prints[0].find("x.txt"), std::string::npos);
    EXPECT_EQ(captured.prints.back(), "Count: \xA4" "0824\xA4" "00 Watermark: \xA4" "0824\xA4" "00");
}

TEST_F(FilesTest, FindFilesListsPackNamesOnceInThePatternsDirectory) {
    Write("game.pack", Pack({{.name = "maps/a.vo2", .data = "1"},
                             {.name = "maps/b.vo2", .data = "2"},
                             {.name = "maps/deep/c.vo2", .data = "3"},
                             {.name = "maps/readme.txt", .data = "4"}}));
    Write("game1.pack", Pack({{.name = "maps/a.vo2", .data = "5"},
                              {.name = "maps/a_much_longer_name.vo2", .data = "6"}}));
    FS_LoadPackBatch("game");
    char out[8][10];
    // Two packs hold maps/a.vo2: it is listed once.
    ASSERT_EQ(FS_FindFiles(&out[0][0], "maps/*.vo2", 10, 8), 3);
    EXPECT_STREQ(out[0], "maps/a_mu");  // cut to stride - 1
    EXPECT_STREQ(out[1], "maps/a.vo");
    EXPECT_STREQ(out[2], "maps/b.vo");
    EXPECT_EQ(FS_FindFiles(&out[0][0], "maps/*.vo2", 10, 2), 2);
    EXPECT_EQ(FS_FindFiles(&out[0][0], "maps/*.vo2", 0, 2), 0);
    EXPECT_EQ(FS_FindFiles(&out[0][0], "*", 10, 8), 0);
}

TEST_F(FilesTest, ConsoleCommandsListPacksEntriesAndSlots) {
    Cmd_Startup();
    FS_Imp();
    memBlocks = Com_GetMemBlocks();  // the console keeps its function records
    Write("game.pack", Pack({{.name = "a.txt", .data = std::string(3000, 'a')}, {.name = "b.txt", .data = "b"}}));
    Write("game1.pack", Pack({{.name = "c.txt", .data = "c"}}));
    FS_LoadPackBatch("game");
    FS_fclose(FS_fopen("a.txt", "rb"));
    captured.prints.clear();
    Cmd_Add("packlist");
    Cmd_Add("packinfo game.");
    Cmd_Add("packinfo");
    Cmd_Add("packinfo nothing");
    Cmd_Flush();
    const std::vector<std::string> want = {
        "............. Pack Stack .............",
        "    \"\xA4" "08game1.pack\xA4" "00\" files: \xA4" "081\xA4" "00 size: \xA4" "080\xA4" "00 kB",
        "    \"\xA4" "08game.pack\xA4" "00\" files: \xA4" "082\xA4" "00 size: \xA4" "083\xA4" "00 kB",
        "............. 2 Packs Loaded .............",
        "............. game.pack .............",
        "    UT \"\xA4" "08b.txt\xA4" "00\" size: \xA4" "080\xA4" "00 kB",
        "       \"\xA4" "08a.txt\xA4" "00\" size: \xA4" "083\xA4" "00 kB",
        "............. 2 files .............",
        "USAGE: packinfo <pack name>",
    };
    EXPECT_EQ(captured.prints, want);
    EXPECT_TRUE(Reported("Could not find pack \"nothing\""));
}

TEST_F(FilesTest, FileChecksumXorsTheTableCrcOfEachMegabyte) {
    std::string big(FS_CHECKSUM_CHUNK + 5, 'q');
    big[7] = 'x';
    Write("big.bin", big);
    Write("game.pack", Pack({{.name = "small.bin", .data = "small"}, {.name = "after", .data = "after"}}));
    FS_LoadPackBatch("game");
    FILE *f = FS_fopen("big.bin", "rb");
    ASSERT_NE(f, nullptr);
    FS_ReadByte(f);
    EXPECT_EQ(FS_FileCheckSum(f), Com_GetCRC(big.data(), FS_CHECKSUM_CHUNK) ^ Com_GetCRC(big.data() + FS_CHECKSUM_CHUNK, 5));
    EXPECT_EQ(FS_ftell(f), 0);
    FS_fclose(f);
    f = FS_fopen("small.bin", "rb");
    EXPECT_EQ(FS_FileCheckSum(f), Com_GetCRC("small", 5));  // the entry alone
    FS_fclose(f);
}

}  // namespace
