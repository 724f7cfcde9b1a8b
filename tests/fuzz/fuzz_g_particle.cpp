// libFuzzer target: the client game's particle-class reader, fed with hostile text.
//
// Every input is read as a `.particle` file; the read must end, keep the name
// terminated inside its field, keep the material inside the particle material
// lists, and leave no value that is not a finite number.
//
// Built and run by scripts/fuzz.sh.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "game_cl/cg_particle_class.h"
#include "tests/game/fake_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fake::Install();
    // Material paths of the text register as handles on both sides of the lists' end.
    fake::materialHandle = size % 2 ? 1023 : 1024;
    const std::string text(reinterpret_cast<const char *>(data), size);
    fake::files["fuzz.particle"] = text;
    CG_LoadDefaultParticle();
    const int32_t h = CG_LoadParticle("fuzz.particle");
    const particleClass_t &c = g_particleClasses[h];
    if (!memchr(c.name, 0, sizeof c.name)) abort();
    if (c.material < 0 || c.material >= PARTICLE_MATERIALS) abort();
    for (const float v : {c.spawnConeAngle, c.spawnMinSpeed, c.spawnMaxSpeed, c.spawnMaxSize, c.maxTime,
                          c.beginFade, c.endFade, c.gravityFactor, c.spawnColor[0], c.fadeColor[3]})
        if (!std::isfinite(v)) abort();
    if (c.spawnPosType < 0 || c.spawnPosType > 1 || c.spawnDirType < 0 || c.spawnDirType > 1 || c.pathType < 0 ||
        c.pathType > 1)
        abort();
    fake::Uninstall();
    return 0;
}
