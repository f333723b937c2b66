#include "standin/page_cache.h"

#include <cstdlib>

bool PageCacheReserve(PageCache* cache, uint32_t pageSize) {
  if (cache->storage != nullptr && cache->pageSize == pageSize) {
    PageCacheForget(cache);
    return true;
  }
  PageCacheRelease(cache);
  auto* storage = static_cast<unsigned char*>(malloc(size_t{pageSize} * kCachedPagesPerFile));
  if (storage == nullptr) return false;
  cache->storage = storage;
  cache->pageSize = pageSize;
  for (int i = 0; i < kCachedPagesPerFile; ++i) {
    cache->pages[i].bytes = storage + size_t{pageSize} * i;
  }
  PageCacheForget(cache);
  return true;
}

void PageCacheForget(PageCache* cache) {
  for (CachedPage& page : cache->pages) {
    page.pageNumber = 0;
    page.lastUse = 0;
  }
  cache->useClock = 0;
}

void PageCacheRelease(PageCache* cache) {
  free(cache->storage);
  *cache = PageCache{};
}

CachedPage* PageCacheFind(PageCache* cache, uint64_t pageNumber) {
  if (pageNumber == 0) return nullptr;
  for (CachedPage& page : cache->pages) {
    if (page.pageNumber == pageNumber) {
      page.lastUse = ++cache->useClock;
      return &page;
    }
  }
  return nullptr;
}

CachedPage* PageCacheVictim(PageCache* cache) {
  CachedPage* victim = &cache->pages[0];
  for (CachedPage& page : cache->pages) {
    if (page.pageNumber == 0) {
      victim = &page;
      break;
    }
    if (page.lastUse < victim->lastUse) victim = &page;
  }
  victim->pageNumber = 0;
  return victim;
}

void PageCacheKeep(PageCache* cache, CachedPage* place, uint64_t pageNumber,
                   const PageHeader& header) {
  place->pageNumber = pageNumber;
  place->header = header;
  place->lastUse = ++cache->useClock;
}
