// Skeleton (BO2, BO3) and animation (AM2) files built in memory for the model tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "game_cl/cg_local.h"
#include "game_cl/cg_model.h"
#include "tests/game/fake_engine.h"

namespace model_files {

struct boneSpec_t {
    int32_t parent;
    float restLocal[3];
    float rest[12];
};

struct tagSpec_t {
    std::string name;
    int32_t bone;
    float origin[3];
    float axis[9];
};

// A three-bone chain (0 the root, 1 on 0, 2 on 1) with two tags.
inline const std::vector<boneSpec_t> CHAIN = {
    {-1, {0, 0, 0}, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0}},
    {0, {0, 1, 0}, {1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 1, 0}},
    {1, {0.5f, 0.25f, 0}, {0, -1, 0, 0.5f, 1, 0, 0, 1.25f, 0, 0, 1, 0}},
};
inline const std::vector<tagSpec_t> CHAIN_TAGS = {
    {"TAG_hand_r", 2, {0.1f, 0.2f, 0.3f}, {1, 0, 0, 0, 1, 0, 0, 0, 1}},
    {"TAG_flag", -1, {0, 2, 0}, {0, 0, 1, 0, 1, 0, -1, 0, 0}},
};

inline void Put32(std::string &out, uint32_t v) {
    for (int i = 0; i < 4; i++) out += static_cast<char>(v >> (8 * i) & 0xFF);
}
inline void PutFloat(std::string &out, float f) {
    uint32_t v;
    memcpy(&v, &f, 4);
    Put32(out, v);
}

inline std::string BO2(const std::vector<boneSpec_t> &bones, const std::vector<tagSpec_t> &tags, int32_t version = 1) {
    std::string out = ".BO2";
    Put32(out, static_cast<uint32_t>(version));
    Put32(out, 0);
    Put32(out, static_cast<uint32_t>(bones.size()));
    Put32(out, static_cast<uint32_t>(tags.size()));
    for (const boneSpec_t &b : bones) {
        Put32(out, static_cast<uint32_t>(b.parent));
        for (float f : b.restLocal) PutFloat(out, f);
        for (float f : b.rest) PutFloat(out, f);
    }
    for (const tagSpec_t &t : tags) {
        std::string name = t.name;
        name.resize(32, '\0');
        out += name;
        Put32(out, static_cast<uint32_t>(t.bone));
        for (float f : t.origin) PutFloat(out, f);
        for (float f : t.axis) PutFloat(out, f);
    }
    return out;
}

inline std::string BO3(const std::vector<boneSpec_t> &bones, const std::vector<tagSpec_t> &tags) {
    std::string out = "bo3_magic BO3M\nbo3_version 1\nnum_bones " + std::to_string(bones.size()) + "\nnum_tags " +
                      std::to_string(tags.size()) + "\n";
    auto nums = [](const float *v, int n) {
        std::string s;
        for (int i = 0; i < n; i++) s += " " + std::to_string(v[i]);
        return s;
    };
    for (size_t i = 0; i < bones.size(); i++) {
        const std::string n = std::to_string(i);
        out += "bone_parent " + n + " " + std::to_string(bones[i].parent) + "\n";
        out += "bone_rest_local_xyz " + n + nums(bones[i].restLocal, 3) + "\n";
        for (int r = 0; r < 3; r++)
            out += "bone_rest_m" + std::to_string(r) + " " + n + nums(bones[i].rest + 4 * r, 4) + "\n";
    }
    for (size_t i = 0; i < tags.size(); i++) {
        const std::string n = std::to_string(i);
        out += "tag_name " + n + " " + tags[i].name + "\ntag_bone " + n + " " + std::to_string(tags[i].bone) + "\n";
        out += "tag_xyz " + n + nums(tags[i].origin, 3) + "\n";
        for (int r = 0; r < 3; r++) out += "tag_m" + std::to_string(r) + " " + n + nums(tags[i].axis + 3 * r, 3) + "\n";
    }
    return out;
}

// One AM2 record per frame per bone; record(f, b) gives present, x, y, z, ry, rx, rz.
struct am2Record_t {
    uint8_t present;
    float values[6];
};
inline std::string AM2(int32_t frames, int32_t bones, am2Record_t (*record)(int32_t, int32_t) = nullptr) {
    std::string out = ".AM2";
    Put32(out, 1);
    Put32(out, static_cast<uint32_t>(frames));
    Put32(out, static_cast<uint32_t>(bones));
    Put32(out, 0);
    for (int32_t f = 0; f < frames; f++)
        for (int32_t b = 0; b < bones; b++) {
            const am2Record_t r = record ? record(f, b) : am2Record_t{1, {}};
            out += static_cast<char>(r.present);
            for (float v : r.values) PutFloat(out, v);
        }
    return out;
}

// An empty model and animation table over the fake engine, with the three-bone
// chain on file as chain.bo2 and chain.bo3.
struct ModelTable : testing::Test {
    void SetUp() override {
        fake::Install();
        cg.loadingBlocked = 0;
        CG_UnloadAnimation(0);
        CG_UnloadModel(0);
        CG_LoadDefaultModel();
        fake::files["chain.bo2"] = BO2(CHAIN, CHAIN_TAGS);
        fake::files["chain.bo3"] = BO3(CHAIN, CHAIN_TAGS);
    }
    void TearDown() override {
        CG_UnloadAnimation(0);
        CG_UnloadModel(0);
        fake::Uninstall();
    }
};

}  // namespace model_files
