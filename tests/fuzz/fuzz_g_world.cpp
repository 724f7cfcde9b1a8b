// libFuzzer target: the server game's world script parser and the world info
// string built from what it read, fed with hostile text.
//
// Every input is parsed as a world script (its first bytes, up to a zero, also name a
// material file that exists); the parse must end, keep every text terminated inside
// its field, and the world info string must stay within its limit.
//
// Built and run by scripts/fuzz.sh.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "game/g_weapon.h"
#include "game_sv/sg_local.h"
#include "tests/game/fake_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fake::Install();
    G_DefineWeapons();
    const std::string text(reinterpret_cast<const char *>(data), size);
    fake::files["fuzz.world"] = text;
    fake::files["m.material"] = "wm_baseColor 1 2 3\n";
    if (SG_ParseWorldScript("fuzz.world")) {
        const sgWorld_t &w = sg.world;
        if (!memchr(w.name, 0, sizeof w.name)) abort();
        for (const char *field : {w.path, w.matter, w.skyBox, w.loadingImage, w.fogLod, w.musicPath})
            if (!memchr(field, 0, SG_PATH_SIZE)) abort();
        for (int i = 0; i < w.numTags; i++)
            if (!memchr(w.tags[i].name, 0, sizeof w.tags[i].name)) abort();
        if (w.numTags < 0 || w.numTags > SG_MAX_WORLD_TAGS) abort();
        char buffer[MAX_INFO_STRING] = "";
        SG_UpdateWorldInfoString(buffer, &w);
        if (strlen(buffer) >= static_cast<size_t>(MAX_INFO_STRING)) abort();
    }
    fake::Uninstall();
    return 0;
}
