#include "driver/histogram.h"

#include <cinttypes>
#include <cstdio>
#include <new>

HistogramEntry* Histogram = nullptr;

int RecordBatchTime(int64_t duration) {
  // The link that points at the first entry not shorter than this duration.
  HistogramEntry** link = &Histogram;
  while (*link != nullptr && (*link)->duration < duration) link = &(*link)->next;
  if (*link != nullptr && (*link)->duration == duration) {
    ++(*link)->count;
    return 1;
  }
  auto* entry = new (std::nothrow) HistogramEntry{duration, 1, *link};
  if (entry == nullptr) return 0;
  *link = entry;
  return 1;
}

void PrintHistogram(int batchSize) {
  for (const HistogramEntry* entry = Histogram; entry != nullptr; entry = entry->next) {
    float seconds = static_cast<float>(entry->duration) / 1000.0F;
    printf("Histogram Size %d, Time %.3fs, Count = %" PRId64 "\n", batchSize, seconds,
           entry->count);
  }
}

void ClearHistogram() {
  while (Histogram != nullptr) {
    HistogramEntry* next = Histogram->next;
    delete Histogram;
    Histogram = next;
  }
}
