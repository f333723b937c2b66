// A small, fixed number of pages kept per open file, so that repeated reads of the same
// pages cost no file access. Pages are checked once, when they are read in.
#pragma once

#include <cstdint>

#include "standin/data_format.h"

constexpr int kCachedPagesPerFile = 8;

struct CachedPage {
  uint64_t pageNumber;  // 0: the place is empty (page 0 is the header, never cached)
  uint64_t lastUse;
  PageHeader header;
  unsigned char* bytes;
};

struct PageCache {
  uint32_t pageSize;  // size of each place in `storage`; 0 while nothing is allocated
  unsigned char* storage;
  uint64_t useClock;
  CachedPage pages[kCachedPagesPerFile];
};

// Makes room for pages of `pageSize` bytes, keeping the storage when it is already that size.
// false when the memory cannot be had.
bool PageCacheReserve(PageCache* cache, uint32_t pageSize);

// Forgets every page, keeping the storage for the next file.
void PageCacheForget(PageCache* cache);

// Forgets every page and frees the storage.
void PageCacheRelease(PageCache* cache);

// The cached page, or null.
CachedPage* PageCacheFind(PageCache* cache, uint64_t pageNumber);

// The place to read a new page into: an empty one, or the least recently used. It is empty
// until PageCacheKeep marks it as holding `pageNumber`.
CachedPage* PageCacheVictim(PageCache* cache);
void PageCacheKeep(PageCache* cache, CachedPage* place, uint64_t pageNumber,
                   const PageHeader& header);
