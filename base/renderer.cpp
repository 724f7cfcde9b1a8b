// The null renderer and sound tables of this dedicated engine.
#include "base/renderer.h"

namespace {

// Converts to the type of any operation: one that does nothing and returns 0.
struct nullOp_t {
    template <typename R, typename... A> using fn = R (*)(A...);
    template <typename R, typename... A> constexpr operator fn<R, A...>() const {
        return [](A...) -> R { return R(); };
    }
};
constexpr nullOp_t NULL_OP;

}  // namespace

constexpr renderer_t re_null = {
    .Imp = NULL_OP,
    .Init = NULL_OP,
    .DumpExtensions = NULL_OP,
    .Shutdown = NULL_OP,
    .GetRendererConfig = NULL_OP,
    .BeginFrame = NULL_OP,
    .ClearScene = NULL_OP,
    .Alloc = NULL_OP,
    .AddSurfaces = NULL_OP,
    .AddSurfaceEntity = NULL_OP,
    .AddLight = NULL_OP,
    .RenderScene = NULL_OP,
    .EndFrame = NULL_OP,
    .AllocSurfaces = NULL_OP,
    .SetupSurfaceEntity = NULL_OP,
    .AllocLight = NULL_OP,
    .DrawRaw = NULL_OP,
    .LoadVertexes = NULL_OP,
    .UpdateVertexes = NULL_OP,
    .UnloadVertexes = NULL_OP,
    .LoadIndexes = NULL_OP,
    .UpdateIndexes = NULL_OP,
    .UnloadIndexes = NULL_OP,
    .ReadVertexes = NULL_OP,
    .UpdateVertexesDirect = NULL_OP,
    .RegisterLOD = NULL_OP,
    .UnregisterLOD = NULL_OP,
    .GetLODInfo = NULL_OP,
    .RegisterDummyLOD = NULL_OP,
    .RegisterDefaultLOD = NULL_OP,
    .GetNumMaterials = NULL_OP,
    .RegisterMaterial = NULL_OP,
    .ReloadMaterial = NULL_OP,
    .UnregisterMaterial = NULL_OP,
    .GetMaterialHeight = NULL_OP,
    .GetMaterialWidth = NULL_OP,
    .RegisterTexture = NULL_OP,
    .UnregisterTexture = NULL_OP,
    .GetRenderTextureSize = NULL_OP,
    .GetRenderDestWidth = NULL_OP,
    .GetRenderDestHeight = NULL_OP,
    .LoadTGA = NULL_OP,
    .DumpTGA = NULL_OP,
};

constexpr sound_t snd_null = {
    .Imp = NULL_OP,
    .Shutdown = NULL_OP,
    .Init = NULL_OP,
    .RegisterSound = NULL_OP,
    .UnregisterSound = NULL_OP,
    .SetListener = NULL_OP,
    .PlayLocalSound = NULL_OP,
    .PlayPointSound = NULL_OP,
    .StopPlayChannel = NULL_OP,
    .ClearSounds = NULL_OP,
    .Frame = NULL_OP,
    .ClearDMA = NULL_OP,
    .BeginMusic = NULL_OP,
    .EndMusic = NULL_OP,
    .LoadWAV = NULL_OP,
};

constinit renderer_t re = re_null;
constinit sound_t snd = snd_null;
