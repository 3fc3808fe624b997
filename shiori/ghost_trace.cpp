// The trace hook: the process-wide pointer, null unless a tool installs a
// hook, and the calls that hand it events.
#include "ghost_trace.h"

const TTraceHook* TraceHook = nullptr;

void SetTraceHook(const TTraceHook* hook) { TraceHook = hook; }

void ResetTraceHook() { TraceHook = nullptr; }

void TraceEvent(const TTraceEvent& event) {
  if (TraceHook != nullptr) TraceHook->event(TraceHook->context, event);
}

void TracePoint(TTraceKind kind, int record, int number, std::string_view name,
                std::string_view text, std::string_view value, long detail) {
  TraceEvent({kind, TTracePhase::Point, record, number, detail, name, text, value, nullptr,
              nullptr});
}

void TraceBegin(TTraceKind kind, int record, int number, std::string_view name,
                std::string_view text, long detail) {
  TraceEvent({kind, TTracePhase::Begin, record, number, detail, name, text, {}, nullptr,
              nullptr});
}

void TraceEnd(TTraceKind kind, int number, std::string_view text, std::string_view value) {
  TraceEvent({kind, TTracePhase::End, 0, number, 0, {}, text, value, nullptr, nullptr});
}
