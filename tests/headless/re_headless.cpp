// The test renderer and sound system.
#include "tests/headless/re_headless.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/cmd.h"
#include "base/files.h"
#include "client/cl_font.h"
#include "common/common.h"

reHeadless_t re_headless;

namespace {

// Frame memory, handed out anew after every RE_BeginFrame.
surface_t surfacePool[RE_HEADLESS_SURFACES];
int32_t surfaceLayouts[RE_HEADLESS_SURFACES];
int surfacesUsed;
alignas(16) byte lightPool[RE_HEADLESS_LIGHTS][RE_HEADLESS_LIGHT_BYTES];
int lightsUsed;
alignas(16) byte frameMemory[RE_HEADLESS_FRAME_BYTES];
int32_t frameUsed;
rhandle_t vertexLists;

std::vector<byte> loadedImage;
std::vector<int16_t> loadedSound;

bool FileExists(const char *name) {
    if (!name || !name[0]) return false;
    FILE *f = FS_fopen(name, "rb");
    if (!f) return false;
    FS_fclose(f);
    return true;
}

// The handle of an existing file: the earlier one of the same name, else the next.
rhandle_t Register(std::vector<std::string> &names, const char *name) {
    if (!FileExists(name)) return 0;
    for (size_t i = 0; i < names.size(); i++)
        if (names[i] == name) return static_cast<rhandle_t>(i + 1);
    names.emplace_back(name);
    return static_cast<rhandle_t>(names.size());
}

// Frees every handle from first upward; 0 frees all.
void Unregister(std::vector<std::string> &names, rhandle_t first) {
    if (first <= 0) {
        names.clear();
    } else if (static_cast<size_t>(first) <= names.size()) {
        names.resize(static_cast<size_t>(first) - 1);
    }
}

bool Valid(const std::vector<std::string> &names, rhandle_t h) {
    return h > 0 && static_cast<size_t>(h) <= names.size();
}

void Count(int32_t reHeadlessCounts_t::*field, int32_t n) {
    re_headless.frame.*field += n;
    re_headless.total.*field += n;
}

void PrintCounts_f() {
    const reHeadlessCounts_t &t = re_headless.total;
    Com_Printf("re_counts: frames %d surfaces %d vertexes %d indexes %d instances %d lights %d scenes %d raws %d",
               t.frames, t.surfaces, t.vertexes, t.indexes, t.instances, t.lights, t.scenes, t.raws);
    // The client game's scene: what the last whole frame drew, model instances and all.
    const reHeadlessCounts_t &f = re_headless.frame;
    Com_Printf("re_counts: last frame surfaces %d vertexes %d indexes %d instances %d lights %d scenes %d", f.surfaces,
               f.vertexes, f.indexes, f.instances, f.lights, f.scenes);
    Com_Printf("re_counts: materials %d textures %d models %d sounds %d",
               static_cast<int>(re_headless.materials.size()), static_cast<int>(re_headless.textures.size()),
               static_cast<int>(re_headless.models.size()), static_cast<int>(re_headless.sounds.size()));
    Com_Printf("re_counts: layout25 %d layout31 %d", t.colorSurfaces, t.decalSurfaces);
    Com_Printf("re_counts: vertex lists %d loaded %d uploads %d stray %d",
               static_cast<int>(re_headless.vertexLists.size()), re_headless.vertexListsLoaded,
               re_headless.vertexUploads, re_headless.strayVertexUploads);
}

// The name a handle was registered under, "-" for none.
const char *NameOf(const std::vector<std::string> &names, rhandle_t h) {
    return Valid(names, h) ? names[static_cast<size_t>(h) - 1].c_str() : "-";
}

// re_scene: the model instances and world surfaces the last frame drew, one line each:
// an instance's level of detail, drawer, bone count and flags; a surface's material,
// vertex layout and counts.
void PrintScene_f() {
    for (const reHeadlessInstance_t &i : re_headless.instances)
        Com_Printf("re_instance: %s %s bones %d flags %u", NameOf(re_headless.models, i.lod), i.drawer.c_str(),
                   i.numBones, i.flags);
    for (const reHeadlessSurface_t &s : re_headless.surfaces)
        if (!(s.flags & SURFACE_FLAG_2D))
            Com_Printf("re_surface: %s layout %d indexes %d", NameOf(re_headless.materials, s.material), s.layout,
                       static_cast<int>(s.indexes.size()));
}

// The registered font that draws with the material, or null.
const font_t *FontOfMaterial(int32_t material) {
    for (int32_t i = 0; i < CL_GetNumFonts(); i++) {
        const font_t *f = CL_GetFont(i);
        if (f && !f->dummy && f->material == material && f->picWidth > 0 && f->picHeight > 0) return f;
    }
    return nullptr;
}

// The character whose grid cell the glyph quad's first corner maps from.
char GlyphOf(const font_t &f, const drawVert_t &corner) {
    const float size = static_cast<float>(RE_HEADLESS_IMAGE_SIZE);
    const long column = lroundf((corner.st[0] * size - static_cast<float>(f.offsetX)) / static_cast<float>(f.picWidth));
    const long row = lroundf(((1.0f - corner.st[1]) * size - static_cast<float>(f.offsetY)) / static_cast<float>(f.picHeight)) - 1;
    const long c = 32 + row * f.charsPerLine + column;
    return c >= 32 && c < 256 ? static_cast<char>(c) : '?';
}

// re_text: what the last frame wrote with the client's fonts, read back from the glyph
// quads, one line per text surface (a drop shadow repeats the text before it).
void PrintText_f() {
    for (const reHeadlessSurface_t &s : re_headless.surfaces) {
        const font_t *f = s.flags & SURFACE_FLAG_2D ? FontOfMaterial(s.material) : nullptr;
        if (!f) continue;
        std::string text;
        for (size_t v = 0; v + 4 <= s.verts.size(); v += 4) text += GlyphOf(*f, s.verts[v]);
        Com_Printf("re_text: %s", text.c_str());
    }
}

void Imp() {
    Cmd_CreateFunction("re_counts", PrintCounts_f, 0);
    Cmd_CreateFunction("re_text", PrintText_f, 0);
    Cmd_CreateFunction("re_scene", PrintScene_f, 0);
}

void GetRendererConfig(rendererConfig_t *config) {
    if (!config) return;
    config->width = RE_HEADLESS_WIDTH;
    config->height = RE_HEADLESS_HEIGHT;
}

void BeginFrame() {
    re_headless.frame = reHeadlessCounts_t{};
    re_headless.surfaces.clear();
    re_headless.instances.clear();
    surfacesUsed = lightsUsed = 0;
    frameUsed = 0;
    Count(&reHeadlessCounts_t::frames, 1);
}

void *Alloc(int32_t bytes) {
    if (bytes <= 0 || bytes > RE_HEADLESS_FRAME_BYTES - frameUsed) return nullptr;
    byte *p = frameMemory + frameUsed;
    frameUsed += (bytes + 15) & ~15;
    if (frameUsed > RE_HEADLESS_FRAME_BYTES) frameUsed = RE_HEADLESS_FRAME_BYTES;
    memset(p, 0, static_cast<size_t>(bytes));
    return p;
}

surface_t *AllocSurfaces(int32_t layout, uint8_t) {
    if (surfacesUsed >= RE_HEADLESS_SURFACES) return nullptr;
    surfaceLayouts[surfacesUsed] = layout;
    surface_t *s = &surfacePool[surfacesUsed++];
    *s = surface_t{};
    return s;
}

void AddSurfaces(surface_t *s, uint8_t) {
    if (!s) return;
    const int32_t numVerts = s->numVerts > 0 ? s->numVerts : 0, numIndexes = s->numIndexes > 0 ? s->numIndexes : 0;
    Count(&reHeadlessCounts_t::surfaces, 1);
    Count(&reHeadlessCounts_t::vertexes, numVerts);
    Count(&reHeadlessCounts_t::indexes, numIndexes);
    const ptrdiff_t slot = s - surfacePool;
    const int32_t layout = slot >= 0 && slot < RE_HEADLESS_SURFACES ? surfaceLayouts[slot] : 0;
    if (layout == SURFACE_LAYOUT_COLOR) Count(&reHeadlessCounts_t::colorSurfaces, 1);
    if (layout == SURFACE_LAYOUT_DECAL) Count(&reHeadlessCounts_t::decalSurfaces, 1);
    if (re_headless.surfaces.size() >= RE_HEADLESS_RECORDED) return;
    reHeadlessSurface_t r;
    r.layout = layout;
    r.flags = s->flags;
    r.material = s->material;
    r.destination = s->destination;
    // What the renderer copies now is all it keeps: the drawer's arrays may change next.
    if (r.layout == SURFACE_LAYOUT_COLOR && s->verts)
        r.verts.assign(static_cast<const drawVert_t *>(s->verts), static_cast<const drawVert_t *>(s->verts) + numVerts);
    if (s->indexes) r.indexes.assign(s->indexes, s->indexes + numIndexes);
    re_headless.surfaces.push_back(std::move(r));
}

// The head of a model instance as the client game fills it (its drawers own the layout).
struct instanceHead_t {
    const char *drawer;
    uint32_t flags;
    float origin[3];
    float axis[9];
    int32_t numBones;
    void *bones;
    rhandle_t lod;
};

void AddSurfaceEntity(surfaceEntity_t *e) {
    Count(&reHeadlessCounts_t::instances, 1);
    if (!e || re_headless.instances.size() >= RE_HEADLESS_RECORDED) return;
    instanceHead_t head;
    memcpy(&head, e, sizeof head);
    re_headless.instances.push_back({head.drawer ? head.drawer : "", head.lod, head.numBones, head.flags});
}
void AddLight(light_t *) { Count(&reHeadlessCounts_t::lights, 1); }
void RenderScene(refdef_t *, void *) { Count(&reHeadlessCounts_t::scenes, 1); }

light_t *AllocLight(int32_t, void *, int32_t) {
    if (lightsUsed >= RE_HEADLESS_LIGHTS) return nullptr;
    byte *p = lightPool[lightsUsed++];
    memset(p, 0, RE_HEADLESS_LIGHT_BYTES);
    return reinterpret_cast<light_t *>(p);
}

void DrawRaw(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t width, int32_t height, const byte *pixels, void *,
             int32_t) {
    Count(&reHeadlessCounts_t::raws, 1);
    re_headless.lastRawWidth = width;
    re_headless.lastRawHeight = height;
    if (pixels && width > 0 && height > 0)
        re_headless.lastRaw.assign(pixels, pixels + static_cast<size_t>(width) * height * RE_DRAW_RAW_BYTES);
}

rhandle_t LoadVertexes(uint32_t, int32_t, int32_t, int32_t) {
    re_headless.vertexLists.push_back(++vertexLists);
    re_headless.vertexListsLoaded++;
    return vertexLists;
}
bool LiveVertexList(rhandle_t h) {
    const std::vector<rhandle_t> &v = re_headless.vertexLists;
    return std::find(v.begin(), v.end(), h) != v.end();
}
void UnloadVertexes(rhandle_t h) {
    std::vector<rhandle_t> &v = re_headless.vertexLists;
    v.erase(std::remove(v.begin(), v.end(), h), v.end());
}
void UpdateVertexesDirect(rhandle_t h, int32_t, int32_t, const void *, const void *, const void *, const void *,
                          const void *) {
    (LiveVertexList(h) ? re_headless.vertexUploads : re_headless.strayVertexUploads)++;
}
// A renderer that stops takes every list it held.
void Shutdown() { re_headless.vertexLists.clear(); }

rhandle_t RegisterLOD(const char *name, int32_t) { return Register(re_headless.models, name); }
void UnregisterLOD(rhandle_t h) { Unregister(re_headless.models, h); }
int32_t GetNumMaterials() { return static_cast<int32_t>(re_headless.materials.size()); }
rhandle_t RegisterMaterial(const char *name) { return Register(re_headless.materials, name); }
void UnregisterMaterial(rhandle_t h) { Unregister(re_headless.materials, h); }
int32_t MaterialImageSize(rhandle_t h) { return Valid(re_headless.materials, h) ? RE_HEADLESS_IMAGE_SIZE : 0; }
rhandle_t RegisterTexture(const char *name, int32_t) { return Register(re_headless.textures, name); }
void UnregisterTexture(rhandle_t h) { Unregister(re_headless.textures, h); }
int32_t RenderDestWidth(int32_t) { return RE_HEADLESS_WIDTH; }
int32_t RenderDestHeight(int32_t) { return RE_HEADLESS_HEIGHT; }

uint32_t Get16(const byte *p) { return p[0] | p[1] << 8; }
uint32_t Get32(const byte *p) { return Get16(p) | Get16(p + 2) << 16; }

// Uncompressed true-colour TGA files of 24 or 32 bits.
const byte *LoadTGA(const char *name, int32_t *width, int32_t *height) {
    void *buffer = nullptr;
    const int32_t length = FS_ReadFile(name, &buffer);
    if (length < 0 || !buffer) return nullptr;
    const byte *data = static_cast<const byte *>(buffer);
    bool ok = length >= 18 && data[1] == 0 && data[2] == 2 && (data[16] == 24 || data[16] == 32);
    const int32_t w = ok ? static_cast<int32_t>(Get16(data + 12)) : 0, h = ok ? static_cast<int32_t>(Get16(data + 14)) : 0;
    const int32_t bpp = ok ? data[16] / 8 : 0;
    const int64_t start = 18 + static_cast<int64_t>(ok ? data[0] : 0);
    ok = ok && w > 0 && h > 0 && start + static_cast<int64_t>(w) * h * bpp <= length;
    if (ok) {
        const bool topFirst = data[17] & 0x20;
        loadedImage.assign(static_cast<size_t>(w) * h * 3, 0);
        for (int32_t y = 0; y < h; y++) {
            const byte *row = data + start + static_cast<int64_t>(topFirst ? y : h - 1 - y) * w * bpp;
            for (int32_t x = 0; x < w; x++) {
                byte *out = &loadedImage[(static_cast<size_t>(y) * w + x) * 3];
                out[0] = row[x * bpp + 2];
                out[1] = row[x * bpp + 1];
                out[2] = row[x * bpp + 0];
            }
        }
        *width = w;
        *height = h;
    }
    FS_FreeFile(buffer);
    return ok ? loadedImage.data() : nullptr;
}

uint8_t DumpTGA(const char *name, const byte *pixels, int32_t width, int32_t height) {
    // The head holds 16-bit sizes: a larger image would be written with a head that
    // lies about its pixels.
    if (!pixels || width <= 0 || height <= 0 || width > RE_HEADLESS_TGA_MAX || height > RE_HEADLESS_TGA_MAX) return 0;
    const std::string image = RE_HeadlessTGA(width, height, pixels);
    FILE *f = FS_fopen(name, "wb");
    if (!f) return 0;
    const bool ok = FS_Write(image.data(), static_cast<int32_t>(image.size()), f) == static_cast<int32_t>(image.size());
    FS_fclose(f);
    return ok;
}

rhandle_t RegisterSound(const char *name) { return Register(re_headless.sounds, name); }
void UnregisterSound(rhandle_t h) { Unregister(re_headless.sounds, h); }
int32_t PlayLocalSound(rhandle_t h) { return Valid(re_headless.sounds, h) ? ++re_headless.playedSounds : 0; }
int32_t PlayPointSound(rhandle_t h, const float *) { return PlayLocalSound(h); }

// Mono 16-bit PCM WAV files.
const int16_t *LoadWAV(const char *name, sndWav_t *info) {
    void *buffer = nullptr;
    const int32_t length = FS_ReadFile(name, &buffer);
    if (length < 0 || !buffer) return nullptr;
    const byte *data = static_cast<const byte *>(buffer);
    bool ok = length >= 12 && !memcmp(data, "RIFF", 4) && !memcmp(data + 8, "WAVE", 4);
    bool format = false;
    int64_t pos = 12;
    while (ok && pos + 8 <= length) {
        const uint32_t size = Get32(data + pos + 4);
        const byte *body = data + pos + 8;
        if (size > static_cast<uint32_t>(length - pos - 8)) break;
        if (!memcmp(data + pos, "fmt ", 4) && size >= 16) {
            format = Get16(body) == 1 && Get16(body + 2) == 1 && Get16(body + 14) == 16;
        } else if (!memcmp(data + pos, "data", 4) && format) {
            loadedSound.resize(size / 2);
            for (size_t i = 0; i < loadedSound.size(); i++)
                loadedSound[i] = static_cast<int16_t>(Get16(body + 2 * i));
            // A sound of no samples was still read: it must not look like a failure.
            static const int16_t noSamples[1] = {};
            const int16_t *samples = loadedSound.empty() ? noSamples : loadedSound.data();
            info->count = static_cast<int32_t>(loadedSound.size());
            info->samples = samples;
            FS_FreeFile(buffer);
            return samples;
        }
        pos += 8 + size + (size & 1);
    }
    FS_FreeFile(buffer);
    return nullptr;
}

}  // namespace

// Built on demand: the engine_headless build installs the tables while other static
// objects may not be initialised yet.
static renderer_t HeadlessRenderer() {
    renderer_t t = re_null;
    t.Imp = Imp;
    t.GetRendererConfig = GetRendererConfig;
    t.BeginFrame = BeginFrame;
    t.Alloc = Alloc;
    t.AddSurfaces = AddSurfaces;
    t.AddSurfaceEntity = AddSurfaceEntity;
    t.AddLight = AddLight;
    t.RenderScene = RenderScene;
    t.AllocSurfaces = AllocSurfaces;
    t.AllocLight = AllocLight;
    t.DrawRaw = DrawRaw;
    t.LoadVertexes = LoadVertexes;
    t.UnloadVertexes = UnloadVertexes;
    t.UpdateVertexesDirect = UpdateVertexesDirect;
    t.Shutdown = Shutdown;
    t.RegisterLOD = RegisterLOD;
    t.UnregisterLOD = UnregisterLOD;
    t.GetNumMaterials = GetNumMaterials;
    t.RegisterMaterial = RegisterMaterial;
    t.UnregisterMaterial = UnregisterMaterial;
    t.GetMaterialHeight = MaterialImageSize;
    t.GetMaterialWidth = MaterialImageSize;
    t.RegisterTexture = RegisterTexture;
    t.UnregisterTexture = UnregisterTexture;
    t.GetRenderDestWidth = RenderDestWidth;
    t.GetRenderDestHeight = RenderDestHeight;
    t.LoadTGA = LoadTGA;
    t.DumpTGA = DumpTGA;
    return t;
}

static sound_t HeadlessSound() {
    sound_t t = snd_null;
    t.RegisterSound = RegisterSound;
    t.UnregisterSound = UnregisterSound;
    t.PlayLocalSound = PlayLocalSound;
    t.PlayPointSound = PlayPointSound;
    t.LoadWAV = LoadWAV;
    return t;
}

void RE_InstallHeadless() {
    re_headless = reHeadless_t{};
    surfacesUsed = lightsUsed = 0;
    frameUsed = 0;
    re = HeadlessRenderer();
    snd = HeadlessSound();
}

std::string RE_HeadlessTGA(int32_t width, int32_t height, const byte *rgb) {
    std::string out(18, '\0');
    out[2] = 2;  // uncompressed true colour
    out[12] = static_cast<char>(width & 0xFF);
    out[13] = static_cast<char>(width >> 8);
    out[14] = static_cast<char>(height & 0xFF);
    out[15] = static_cast<char>(height >> 8);
    out[16] = 24;
    out[17] = 0x20;  // top row first
    for (int64_t i = 0; i < static_cast<int64_t>(width) * height; i++) {
        out.push_back(static_cast<char>(rgb[3 * i + 2]));
        out.push_back(static_cast<char>(rgb[3 * i + 1]));
        out.push_back(static_cast<char>(rgb[3 * i + 0]));
    }
    return out;
}

std::string SND_HeadlessWAV(const std::vector<int16_t> &samples) {
    std::string out;
    auto put = [&out](uint32_t v, int bytes) {
        for (int k = 0; k < bytes; k++) out.push_back(static_cast<char>(v >> (8 * k)));
    };
    const uint32_t dataSize = static_cast<uint32_t>(samples.size() * 2);
    out += "RIFF";
    put(36 + dataSize, 4);
    out += "WAVEfmt ";
    put(16, 4);
    put(1, 2);      // PCM
    put(1, 2);      // mono
    put(22050, 4);  // samples a second
    put(44100, 4);  // bytes a second
    put(2, 2);      // bytes a frame
    put(16, 2);     // bits a sample
    out += "data";
    put(dataSize, 4);
    for (int16_t s : samples) put(static_cast<uint16_t>(s), 2);
    return out;
}
