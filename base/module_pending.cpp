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
void CL_GetSnapshot(void *, void *, void *) { Pending("CL_GetSnapshot"); }
snapshot_t *CL_DecodeSnapshot() {
    Pending("CL_DecodeSnapshot");
    return nullptr;
}
void CL_UpdateSimulation() { Pending("CL_UpdateSimulation"); }
void CL_InitSeqGrid() { Pending("CL_InitSeqGrid"); }
void CL_HandlePackagePage(uint8_t) {
    Pending("CL_HandlePackagePage");
    cl_dropPackage = 1;
}
void CL_CleanDirtySurfaces() { Pending("CL_CleanDirtySurfaces"); }
