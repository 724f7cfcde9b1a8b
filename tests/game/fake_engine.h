// A stand-in engine for the module's loaders: memory blocks, whole-file reads
// from a table of files, and a record of what the module printed, reported and
// handed over.  Shared by the unit tests and the fuzz targets (no test framework).
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "common/common.h"
#include "game/g_main.h"
#include "game/g_traps.h"

namespace fake {

struct error_t {
    int level;
    std::string text;
};

inline std::map<std::string, std::string> files;  // path -> contents
inline std::vector<std::string> prints;
inline std::vector<error_t> errors;
inline std::vector<std::string> registered;      // material names
inline std::vector<uint8_t> uploaded;            // the last trap-40 block
inline uint8_t pvsAnswer = 1;
inline std::vector<std::vector<uint8_t>> surfaces;  // each added surface, copied byte for byte
inline uint8_t surfaceStore[256];
inline int32_t materialHandle = 7;

inline void Print(const char *text) { prints.emplace_back(text); }
inline int Error(int level, const char *text) {
    errors.push_back({level, text});
    return 0;
}

inline intptr_t Trap(int number, gameArg_t *args) {
    switch (number) {
    case GTRAP_MEM_ALLOC: return reinterpret_cast<intptr_t>(Com_malloc(static_cast<uint32_t>(Arg_Int(args, 0))));
    case GTRAP_MEM_FREE: Com_free(Arg_Ptr<void>(args, 0)); return 0;
    case GTRAP_READ_FILE: {
        void **out = Arg_Ptr<void *>(args, 1);
        *out = nullptr;
        const auto f = files.find(Arg_Ptr<const char>(args, 0));
        if (f == files.end()) return -1;
        auto *data = static_cast<char *>(Com_malloc(static_cast<uint32_t>(f->second.size() + 1)));
        memcpy(data, f->second.data(), f->second.size());
        data[f->second.size()] = 0;
        *out = data;
        return static_cast<intptr_t>(f->second.size());
    }
    case GTRAP_FREE_FILE: Com_free(Arg_Ptr<void>(args, 0)); return 0;
    case GTRAP_REGISTER_MATERIAL: registered.emplace_back(Arg_Ptr<const char>(args, 0)); return materialHandle;
    case GTRAP_UPLOAD_WORLD_MATERIALS: {
        const auto *block = Arg_Ptr<const uint8_t>(args, 0);
        uploaded.assign(block, block + 256 * 36);
        return 0;
    }
    case GTRAP_WO_CHECK_POINT_PVS: return pvsAnswer;
    case GTRAP_R_ALLOC_SURFACES:
        memset(surfaceStore, 0xEE, sizeof surfaceStore);
        return reinterpret_cast<intptr_t>(surfaceStore);
    case GTRAP_R_ADD_SURFACES: {
        const auto *s = Arg_Ptr<const uint8_t>(args, 0);
        surfaces.emplace_back(s, s + sizeof surfaceStore);
        return 0;
    }
    default: return 0;
    }
}

// Installs the stand-in and clears every record.
inline void Install() {
    files.clear();
    prints.clear();
    errors.clear();
    registered.clear();
    uploaded.clear();
    surfaces.clear();
    pvsAnswer = 1;
    gi = gameImport_t{GAME_API_MAGIC, GAME_API_VERSION, sizeof(gameImport_t), Trap};
    Com_SetupPrintf(PRF_SINKS, Print, Print);
    Com_SetupError(Error);
}

inline void Uninstall() {
    Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
    Com_SetupError(nullptr);
}

// A SOUP file of the given positions (three floats each) and indexes, little-endian.
inline std::string SoupBytes(const std::vector<float> &positions, const std::vector<int32_t> &indexes) {
    std::string out;
    auto put = [&out](uint32_t w) {
        for (int i = 0; i < 4; i++) out.push_back(static_cast<char>(w >> (8 * i)));
    };
    put(0xABCD9876);
    put(1);
    put(static_cast<uint32_t>(positions.size() / 3));
    put(static_cast<uint32_t>(indexes.size()));
    for (float f : positions) {
        uint32_t w;
        memcpy(&w, &f, 4);
        put(w);
    }
    for (int32_t i : indexes) put(static_cast<uint32_t>(i));
    return out;
}

// Overwrites the little-endian word at a byte offset.
inline void PatchWord(std::string &bytes, size_t offset, uint32_t w) {
    for (int i = 0; i < 4; i++) bytes[offset + i] = static_cast<char>(w >> (8 * i));
}

}  // namespace fake
