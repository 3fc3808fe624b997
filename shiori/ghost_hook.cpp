// The diagnostics hook: the process-wide pointer, null unless a tool
// installs a hook.
#include "ghost_hook.h"

const TDiagnosticsHook* DiagnosticsHook = nullptr;

void SetDiagnosticsHook(const TDiagnosticsHook* hook) { DiagnosticsHook = hook; }

void ResetDiagnosticsHook() { DiagnosticsHook = nullptr; }
