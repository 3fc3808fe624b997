// Median-of-runs timing for the benchmark harness.
#include "stats.h"

#include <algorithm>

#include "measure.h"

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

TSummary Summarize(const std::vector<double>& run_medians) {
  TSummary s;
  s.runs = static_cast<int>(run_medians.size());
  s.median = Median(run_medians);
  if (!run_medians.empty() && s.median > 0) {
    const auto [lo, hi] = std::minmax_element(run_medians.begin(), run_medians.end());
    s.spread = (*hi - *lo) / 2 / s.median;
  }
  return s;
}

double MedianCallSeconds(const std::function<void()>& fn, int iterations) {
  constexpr double kBatchSeconds = 100e-6;
  const double start = CpuSeconds();
  fn();
  const double first = CpuSeconds() - start;
  const int batch = first >= kBatchSeconds ? 1 : static_cast<int>(kBatchSeconds / (first + 1e-8)) + 1;
  std::vector<double> samples;
  for (int done = 1; done < iterations;) {
    const int n = batch < iterations - done ? batch : iterations - done;
    const double t0 = CpuSeconds();
    for (int i = 0; i < n; ++i) fn();
    samples.push_back((CpuSeconds() - t0) / n);
    done += n;
  }
  if (samples.empty()) samples.push_back(first);
  return Median(std::move(samples));
}

int IterationsFor(const std::function<void()>& fn, double budget, int lo, int hi) {
  const double per_call = MedianCallSeconds(fn, 3);
  if (per_call <= 0) return hi;
  const double n = budget / per_call;
  return n < lo ? lo : n > hi ? hi : static_cast<int>(n);
}

TPaired TimePaired(const std::function<void()>& work, const std::function<void()>& base,
                  int runs, double budget) {
  const int work_calls = IterationsFor(work, budget, 5, 5000);
  const int base_calls = IterationsFor(base, budget / 4, 5, 5000);
  std::vector<double> work_medians, base_medians;
  for (int r = 0; r < runs; ++r) {
    base_medians.push_back(MedianCallSeconds(base, base_calls));
    work_medians.push_back(MedianCallSeconds(work, work_calls));
  }
  return {Summarize(work_medians), Summarize(base_medians)};
}
