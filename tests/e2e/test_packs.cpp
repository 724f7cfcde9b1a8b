// The engine loads its pack files at start: packs written by a standard archiver
// load, a damaged one is refused with its name while the engine runs on, and the
// pack commands list what was loaded.
#include <gtest/gtest.h>

#include "tests/e2e/engine_process.h"

namespace {

using e2e::Engine;
using e2e::TempDir;

TEST(EnginePacks, ArchiverPacksLoadAndADamagedOneIsRefusedByName) {
    if (system("command -v python3 >/dev/null 2>&1") != 0) GTEST_SKIP() << "python3 is missing";
    TempDir dir;
    dir.write("make.py", R"(
import zipfile
with zipfile.ZipFile('game.pack', 'w', zipfile.ZIP_STORED) as z:
    z.writestr('scripts/', b'')
    z.writestr('scripts/a.txt', b'a' * 2500)
with zipfile.ZipFile('game1.pack', 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('packed.txt', b'b' * 5000)
with zipfile.ZipFile('game5.pack', 'w', zipfile.ZIP_STORED) as z:
    z.writestr('c.txt', b'c')
    z.writestr('d.txt', b'd')
)");
    ASSERT_EQ(system(("cd '" + dir.path() + "' && python3 make.py").c_str()), 0);

    Engine engine(dir.path(), {"-dedicated", "-safe", "+set", "net_port", "0"});  // a port of its own
    ASSERT_TRUE(engine.waitFor("Base_Init Done")) << engine.output();
    engine.send("packlist\npackinfo game5\npackinfo\nopenfilelist\nquit\n");
    ASSERT_EQ(engine.finish(), 0) << engine.output();
    const std::string out = engine.output();
    for (const char *expected : {
             "Loaded \"game.pack\" (cs: ",
             "FS_LoadPack2: game1.pack corrupt file (compressed entry \"packed.txt\")",
             "FS_LoadPack: Could not load pack \"game1.pack\"",
             "Loaded \"game5.pack\" (cs: ",
             "Loaded 2 packs in ",
             "............. Pack Stack .............\n"
             "    \"game5.pack\" files: 2 size: 0 kB\n"
             "    \"game.pack\" files: 1 size: 2 kB\n"
             "............. 2 Packs Loaded .............\n",
             "............. game5.pack .............\n"
             "    UT \"d.txt\" size: 0 kB\n"
             "    UT \"c.txt\" size: 0 kB\n"
             "............. 2 files .............\n",
             "USAGE: packinfo <pack name>\n",
             "Count: 0 Watermark: ",
         })
        EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
}

}  // namespace
