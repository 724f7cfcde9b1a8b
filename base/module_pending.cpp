// Engine services whose subsystems are not built into this engine yet.
//
// Each reports the call as an error naming the service and hands back nothing
// (zero or null); none pretends to have done its work.  A subsystem that lands
// brings its own definitions, and the ones here go.
#include "base/module_services.h"
#include "client/cl_local.h"
#include "common/common.h"

static void Pending(const char *service) { Com_Error(ER_ERROR, "%s: not built into this engine", service); }

// ---- client ----
void CL_ClipDecal(int32_t *, int32_t *, void *, void *, const float *, const float *, const float *, int32_t,
                  int32_t) {
    Pending("CL_ClipDecal");
}
int32_t CL_RegisterFont(const char *) {
    Pending("CL_RegisterFont");
    return 0;
}
void CL_UnregisterFont(int32_t) { Pending("CL_UnregisterFont"); }
int32_t CL_GetFontCharWidth(int32_t) {
    Pending("CL_GetFontCharWidth");
    return 0;
}
int32_t CL_GetFontCharHeight(int32_t) {
    Pending("CL_GetFontCharHeight");
    return 0;
}
void CL_DrawString(int32_t, float, float, float, const char *, int32_t, const float *, int32_t, int32_t) {
    Pending("CL_DrawString");
}
void CL_DrawTrisPic(int32_t, const void *, const void *, int32_t, int32_t, int32_t, uint8_t) {
    Pending("CL_DrawTrisPic");
}
uint8_t CIN_BeginCinematic(const char *) {
    Pending("CIN_BeginCinematic");
    return 0;
}
void CIN_EndCinematic() { Pending("CIN_EndCinematic"); }
uint8_t CIN_DrawCinematic(int32_t, int32_t, int32_t, int32_t, int32_t, void *, int32_t) {
    Pending("CIN_DrawCinematic");
    return 0;
}
