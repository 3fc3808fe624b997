// Timing of repeated calls: per-call medians, runs of a workload beside its
// baseline, and the summary of several runs (median and spread).
#pragma once

#include <functional>
#include <vector>

// Median of the values (0 for none).
double Median(std::vector<double> values);

// The median and the half-width of the range of several run medians,
// relative to the median.
struct TSummary {
  double median = 0;
  double spread = 0;   // (max - min) / 2 / median
  int runs = 0;
};
TSummary Summarize(const std::vector<double>& run_medians);

// Times `iterations` calls of `fn` in CPU time, in batches long enough for
// the clock's resolution; the median of the batches' per-call times.
double MedianCallSeconds(const std::function<void()>& fn, int iterations);

// An iteration count near `budget` seconds for one run of `fn`, at least `lo`
// and at most `hi` (measured over a few warm-up calls).
int IterationsFor(const std::function<void()>& fn, double budget, int lo, int hi);

// `runs` runs alternating the baseline and the workload, each run timing
// its own count of calls; the run medians of both.
struct TPaired {
  TSummary work;
  TSummary base;
};
TPaired TimePaired(const std::function<void()>& work, const std::function<void()>& base,
                  int runs, double budget);
