// The checker's diagnostics hook: the two functions the core calls, which
// copy what they are told into the collector.
#include "check_hook.h"

namespace {

int Place(const TCollector& collector, int position) {
  return position != 0 ? position : collector.entry;
}

void Report(void* context, const THookReport& report) {
  TCollector& collector = *static_cast<TCollector*>(context);
  TCollectedReport copy{report.code, report.level, 0, report.list_offset, {}, report.size};
  if (report.list_offset == 0) copy.position = Place(collector, report.position);
  copy.text[0] = std::string(report.text[0]);
  copy.text[1] = std::string(report.text[1]);
  collector.reports.push_back(std::move(copy));
}

void Record(void* context, const THookRecord& record) {
  TCollector& collector = *static_cast<TCollector*>(context);
  switch (record.kind) {
    case THookKind::EntryBegin:
      collector.entry = record.position;
      return;
    case THookKind::EntryEnd:
      collector.entry_ends[record.position] = record.end;
      collector.entry_keys[record.position] = std::string(record.name);
      collector.entry = 0;
      return;
    default:
      break;
  }
  const int position =
      record.kind == THookKind::Dictionary ? record.position : Place(collector, record.position);
  collector.records.push_back(TCollectedRecord{record.kind, record.record, position, record.end,
                                               record.list_offset, std::string(record.name),
                                               std::string(record.text), record.detail});
}

}  // namespace

void PrepareCollector(TCollector& collector) {
  collector.hook = TDiagnosticsHook{Report, Record, &collector};
}

int EntryEnd(const TCollector& collector, int start) {
  const auto found = collector.entry_ends.find(start);
  return found == collector.entry_ends.end() ? start : found->second;
}
