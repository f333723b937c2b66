// The histogram of batch durations that /H asks for: how many batches took each distinct
// number of milliseconds.
#pragma once

#include <cstdint>

struct HistogramEntry {
  int64_t duration;  // milliseconds of the run clock
  int64_t count;     // batches that took exactly this long
  HistogramEntry* next;
};

// The first entry of the list, strictly ascending by duration; null when empty.
extern HistogramEntry* Histogram;

// Counts one batch of the given duration. Returns 1, or 0 when a new entry could not be
// allocated (the batch then goes uncounted).
int RecordBatchTime(int64_t duration);

// One line per entry on standard output, shortest duration first.
void PrintHistogram(int batchSize);

// Empties the list, so that a run counts only its own batches.
void ClearHistogram();
