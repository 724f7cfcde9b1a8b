// The renderer and sound interfaces.
//
// The engine draws and plays only through these two tables of operations; the RE_
// and SND_ functions below call the table in use.  This dedicated engine installs
// the null tables: every operation does nothing, every result is 0 (null, no
// handle), and callers go on with it.  Another implementation fills the same tables.
//
// Contract for callers: registrations return an integer handle (0 from the null
// tables); unregistering handle 0 frees every object of that kind; what the Alloc
// operations return is frame memory, asked for anew every frame and never freed.
#pragma once

#include <cstdint>
#include <cstdio>

#include "common/com_print.h"
#include "game/g_public.h"  // surface_t and rendererConfig_t, which the module fills and reads

// Records whose layouts belong to a drawing implementation; callers only pass them.
struct surfaceEntity_t;
struct light_t;
struct refdef_t;

typedef int32_t rhandle_t;  // 0: none

// What SND_LoadWAV reads: mono 16-bit samples, valid until the next load.
struct sndWav_t {
    int32_t count;
    const int16_t *samples;
};

constexpr int RE_DRAW_RAW_BYTES = 3;  // bytes of one pixel of RE_DrawRaw, RE_LoadTGA and RE_DumpTGA: R, G, B

struct renderer_t {
    void (*Imp)();
    void (*Init)();
    void (*DumpExtensions)(FILE *dump);  // the driver's extension list, into the error dump
    void (*Shutdown)();
    void (*GetRendererConfig)(rendererConfig_t *config);  // the null one leaves it untouched
    void (*BeginFrame)();
    void (*ClearScene)(int32_t mode);
    void *(*Alloc)(int32_t bytes);
    void (*AddSurfaces)(surface_t *surfaces, uint8_t flags);
    void (*AddSurfaceEntity)(surfaceEntity_t *entity);
    void (*AddLight)(light_t *light);
    void (*RenderScene)(refdef_t *refdef, void *extra);
    void (*EndFrame)(void *frame);
    surface_t *(*AllocSurfaces)(int32_t count, uint8_t flags);
    void (*SetupSurfaceEntity)(surfaceEntity_t *entity);
    light_t *(*AllocLight)(int32_t kind, void *data, int32_t flags);
    // A raw RGB image of width x height into the rectangle of destination, with the two
    // words the cinematic player was given.
    void (*DrawRaw)(int32_t destination, int32_t x, int32_t y, int32_t w, int32_t h, int32_t width, int32_t height,
                    const byte *pixels, void *a, int32_t b);
    rhandle_t (*LoadVertexes)(uint32_t layout, int32_t count, int32_t a, int32_t b);
    void (*UpdateVertexes)(rhandle_t h, uint32_t layout, int32_t count, int32_t a, const void *update);
    void (*UnloadVertexes)(rhandle_t h);
    rhandle_t (*LoadIndexes)(uint32_t layout, int32_t count, int32_t a, int32_t b);
    void (*UpdateIndexes)(rhandle_t h, uint32_t layout, int32_t count, int32_t a, const void *update);
    void (*UnloadIndexes)(rhandle_t h);
    void (*ReadVertexes)(rhandle_t h, uint32_t layout, int32_t first, int32_t count, void *destination);
    void (*UpdateVertexesDirect)(rhandle_t h, int32_t first, int32_t count, const void *positions,
                                 const void *texture, const void *normals, const void *colours, const void *extra);
    rhandle_t (*RegisterLOD)(const char *name, int32_t flags);
    void (*UnregisterLOD)(rhandle_t h);  // 0: all
    void (*GetLODInfo)(rhandle_t h, void *a, void *b);
    rhandle_t (*RegisterDummyLOD)();
    void (*RegisterDefaultLOD)();
    int32_t (*GetNumMaterials)();
    rhandle_t (*RegisterMaterial)(const char *name);
    void (*ReloadMaterial)(rhandle_t h);
    void (*UnregisterMaterial)(rhandle_t h);  // 0: all
    int32_t (*GetMaterialHeight)(rhandle_t h);
    int32_t (*GetMaterialWidth)(rhandle_t h);
    rhandle_t (*RegisterTexture)(const char *name, int32_t mode);
    void (*UnregisterTexture)(rhandle_t h);  // 0: all
    int32_t (*GetRenderTextureSize)();
    int32_t (*GetRenderDestWidth)(int32_t target);
    int32_t (*GetRenderDestHeight)(int32_t target);
    // RGB pixels of the image (valid until the next load) and its size; null when unreadable.
    const byte *(*LoadTGA)(const char *name, int32_t *width, int32_t *height);
    // Writes RGB pixels as an image file; 0 when the file could not be written.
    uint8_t (*DumpTGA)(const char *name, const byte *pixels, int32_t width, int32_t height);
};

struct sound_t {
    void (*Imp)();
    void (*Shutdown)();
    void (*Init)();
    rhandle_t (*RegisterSound)(const char *name);
    void (*UnregisterSound)(rhandle_t h);  // 0: all
    void (*SetListener)(const float *origin, const float *axes);
    int32_t (*PlayLocalSound)(rhandle_t h);                        // channel
    int32_t (*PlayPointSound)(rhandle_t h, const float *origin);  // channel
    void (*StopPlayChannel)(int32_t channel);
    void (*ClearSounds)();
    void (*Frame)();
    void (*ClearDMA)();
    void (*BeginMusic)(const char *name, int32_t volume);
    void (*EndMusic)();
    // The sound's samples into info; null (info untouched) when unreadable.
    const int16_t *(*LoadWAV)(const char *name, sndWav_t *info);
};

extern const renderer_t re_null;  // draws nothing
extern const sound_t snd_null;    // plays nothing
extern renderer_t re;             // the renderer in use
extern sound_t snd;               // the sound system in use

// ---- the operations by name, through the tables in use ----

inline void RE_Imp() { re.Imp(); }
inline void RE_Init() { re.Init(); }
inline void R_DumpExtensions(FILE *dump) { re.DumpExtensions(dump); }
inline void RE_Shutdown() { re.Shutdown(); }
inline void RE_GetRendererConfig(rendererConfig_t *c) { re.GetRendererConfig(c); }
inline void RE_BeginFrame() { re.BeginFrame(); }
inline void RE_ClearScene(int32_t mode) { re.ClearScene(mode); }
inline void *RE_Alloc(int32_t bytes) { return re.Alloc(bytes); }
inline void RE_AddSurfaces(surface_t *s, uint8_t flags) { re.AddSurfaces(s, flags); }
inline void RE_AddSurfaceEntity(surfaceEntity_t *e) { re.AddSurfaceEntity(e); }
inline void RE_AddLight(light_t *l) { re.AddLight(l); }
inline void RE_RenderScene(refdef_t *r, void *extra) { re.RenderScene(r, extra); }
inline void RE_EndFrame(void *frame) { re.EndFrame(frame); }
inline surface_t *RE_AllocSurfaces(int32_t count, uint8_t flags) { return re.AllocSurfaces(count, flags); }
inline void RE_SetupSurfaceEntity(surfaceEntity_t *e) { re.SetupSurfaceEntity(e); }
inline light_t *RE_AllocLight(int32_t kind, void *data, int32_t flags) { return re.AllocLight(kind, data, flags); }
inline void RE_DrawRaw(int32_t destination, int32_t x, int32_t y, int32_t w, int32_t h, int32_t width, int32_t height,
                       const byte *pixels, void *a, int32_t b) {
    re.DrawRaw(destination, x, y, w, h, width, height, pixels, a, b);
}
inline rhandle_t RE_LoadVertexes(uint32_t layout, int32_t count, int32_t a, int32_t b) {
    return re.LoadVertexes(layout, count, a, b);
}
inline void RE_UpdateVertexes(rhandle_t h, uint32_t layout, int32_t count, int32_t a, const void *update) {
    re.UpdateVertexes(h, layout, count, a, update);
}
inline void RE_UnloadVertexes(rhandle_t h) { re.UnloadVertexes(h); }
inline rhandle_t RE_LoadIndexes(uint32_t layout, int32_t count, int32_t a, int32_t b) {
    return re.LoadIndexes(layout, count, a, b);
}
inline void RE_UpdateIndexes(rhandle_t h, uint32_t layout, int32_t count, int32_t a, const void *update) {
    re.UpdateIndexes(h, layout, count, a, update);
}
inline void RE_UnloadIndexes(rhandle_t h) { re.UnloadIndexes(h); }
inline void RE_ReadVertexes(rhandle_t h, uint32_t layout, int32_t first, int32_t count, void *destination) {
    re.ReadVertexes(h, layout, first, count, destination);
}
inline void RE_UpdateVertexesDirect(rhandle_t h, int32_t first, int32_t count, const void *positions,
                                    const void *texture, const void *normals, const void *colours, const void *extra) {
    re.UpdateVertexesDirect(h, first, count, positions, texture, normals, colours, extra);
}
inline rhandle_t RE_RegisterLOD(const char *name, int32_t flags) { return re.RegisterLOD(name, flags); }
inline void RE_UnregisterLOD(rhandle_t h) { re.UnregisterLOD(h); }
inline void RE_GetLODInfo(rhandle_t h, void *a, void *b) { re.GetLODInfo(h, a, b); }
inline rhandle_t RE_RegisterDummyLOD() { return re.RegisterDummyLOD(); }
inline void RE_RegisterDefaultLOD() { re.RegisterDefaultLOD(); }
inline int32_t RE_GetNumMaterials() { return re.GetNumMaterials(); }
inline rhandle_t RE_RegisterMaterial(const char *name) { return re.RegisterMaterial(name); }
inline void RE_ReloadMaterial(rhandle_t h) { re.ReloadMaterial(h); }
inline void RE_UnregisterMaterial(rhandle_t h) { re.UnregisterMaterial(h); }
inline int32_t RE_GetMaterialHeight(rhandle_t h) { return re.GetMaterialHeight(h); }
inline int32_t RE_GetMaterialWidth(rhandle_t h) { return re.GetMaterialWidth(h); }
inline rhandle_t RE_RegisterTexture(const char *name, int32_t mode) { return re.RegisterTexture(name, mode); }
inline void RE_UnregisterTexture(rhandle_t h) { re.UnregisterTexture(h); }
inline int32_t RE_GetRenderTextureSize() { return re.GetRenderTextureSize(); }
inline int32_t RE_GetRenderDestWidth(int32_t target) { return re.GetRenderDestWidth(target); }
inline int32_t RE_GetRenderDestHeight(int32_t target) { return re.GetRenderDestHeight(target); }
inline const byte *RE_LoadTGA(const char *name, int32_t *width, int32_t *height) {
    return re.LoadTGA(name, width, height);
}
inline uint8_t RE_DumpTGA(const char *name, const byte *pixels, int32_t width, int32_t height) {
    return re.DumpTGA(name, pixels, width, height);
}

inline void SND_Imp() { snd.Imp(); }
inline void SND_Shutdown() { snd.Shutdown(); }
inline void SND_Init() { snd.Init(); }
inline rhandle_t SND_RegisterSound(const char *name) { return snd.RegisterSound(name); }
inline void SND_UnregisterSound(rhandle_t h) { snd.UnregisterSound(h); }
inline void SND_SetListener(const float *origin, const float *axes) { snd.SetListener(origin, axes); }
inline int32_t SND_PlayLocalSound(rhandle_t h) { return snd.PlayLocalSound(h); }
inline int32_t SND_PlayPointSound(rhandle_t h, const float *origin) { return snd.PlayPointSound(h, origin); }
inline void SND_StopPlayChannel(int32_t channel) { snd.StopPlayChannel(channel); }
inline void SND_ClearSounds() { snd.ClearSounds(); }
inline void SND_Frame() { snd.Frame(); }
inline void SND_ClearDMA() { snd.ClearDMA(); }
inline void SND_BeginMusic(const char *name, int32_t volume) { snd.BeginMusic(name, volume); }
inline void SND_EndMusic() { snd.EndMusic(); }
inline const int16_t *SND_LoadWAV(const char *name, sndWav_t *info) { return snd.LoadWAV(name, info); }
