// Engine services whose subsystems are not built into this engine yet.
//
// Each reports the call as an error naming the service and hands back nothing
// (zero or null); none pretends to have done its work.  A subsystem that lands
// brings its own definitions, and the ones here go.
#include "base/module_services.h"
#include "common/common.h"

static void Pending(const char *service) { Com_Error(ER_ERROR, "%s: not built into this engine", service); }

// ---- client ----
void *CL_GetViewPVS(const float *, const float *, float, float) {
    Pending("CL_GetViewPVS");
    return nullptr;
}
void CL_UploadECL(void *) { Pending("CL_UploadECL"); }
void CL_ConnectToServer(const char *, const char *, const char *) { Pending("CL_ConnectToServer"); }
void CL_DisconnectFromServer(const char *) { Pending("CL_DisconnectFromServer"); }
void CL_GetSnapshot(void *, void *, void *) { Pending("CL_GetSnapshot"); }
void CL_SendClientCommand(cc_t *) { Pending("CL_SendClientCommand"); }
void CL_GetNextServerCommand(char *) { Pending("CL_GetNextServerCommand"); }
int32_t CL_ServerCommandArgc() {
    Pending("CL_ServerCommandArgc");
    return 0;
}
const char *CL_ServerCommandArgv(int32_t) {
    Pending("CL_ServerCommandArgv");
    return nullptr;
}
void CL_SendKeepAlive() { Pending("CL_SendKeepAlive"); }
void CL_GetStats(void *) { Pending("CL_GetStats"); }
void CL_UpdateInfoString(const char *) { Pending("CL_UpdateInfoString"); }
const char *CL_GetWorldInfoString() {
    Pending("CL_GetWorldInfoString");
    return nullptr;
}
