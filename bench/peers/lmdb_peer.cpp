// The peer engine that the stand-in engine is measured against: LMDB holding the same records
// as a zorbinel data file, read through a read-only cursor in zorbinel's batches of 1000.
//
//   zorbinel-lmdb-peer load DATAFILE ENVDIR    copy the data file's records into ENVDIR
//   zorbinel-lmdb-peer check DATAFILE ENVDIR   ENVDIR holds exactly the data file's records
//   zorbinel-lmdb-peer first|last ENVDIR SECONDS
//                                              time MDB_FIRST or MDB_LAST, each record copied
#include <lmdb.h>

#include <cstdio>
#include <cstring>

#include "bench/peers/data_file_records.h"
#include "bench/peers/timed_batches.h"

// Same size and role as zorbinel's DataBuffer; visible outside so the copies into it stay.
unsigned char PeerBuffer[260000];

namespace {

constexpr int kBatchSize = 1000;

bool Check(int rc, const char* what) {
  if (rc == MDB_SUCCESS) return true;
  fprintf(stderr, "%s: %s\n", what, mdb_strerror(rc));
  return false;
}

// Room for every record twice over (branch pages, page slack), and never less than 64 MiB.
size_t MapSizeFor(const DataFileRecords& records) {
  size_t perRecord = records.recordLength + records.keyLength + 64;
  size_t bytes = 2 * perRecord * records.count + (size_t{64} << 20);
  return bytes;
}

bool StoreRecords(MDB_env* env, const DataFileRecords& records) {
  MDB_txn* txn = nullptr;
  MDB_dbi dbi = 0;
  if (!Check(mdb_txn_begin(env, nullptr, 0, &txn), "mdb_txn_begin")) return false;
  if (!Check(mdb_dbi_open(txn, nullptr, 0, &dbi), "mdb_dbi_open")) return false;
  for (size_t i = 0; i < records.count; ++i) {
    const unsigned char* record = RecordInKeyOrder(records, i);
    MDB_val key{records.keyLength, const_cast<unsigned char*>(record + records.keyOffset)};
    MDB_val value{records.recordLength, const_cast<unsigned char*>(record)};
    // Records come in key order, so every put appends: the tree is packed as a bulk load.
    if (!Check(mdb_put(txn, dbi, &key, &value, MDB_APPEND), "mdb_put")) {
      mdb_txn_abort(txn);
      return false;
    }
  }
  return Check(mdb_txn_commit(txn), "mdb_txn_commit");
}

int Load(const char* dataFile, const char* envDir) {
  DataFileRecords records;
  if (!ReadDataFileRecords(dataFile, &records)) return 1;
  MDB_env* env = nullptr;
  bool stored = Check(mdb_env_create(&env), "mdb_env_create") &&
                Check(mdb_env_set_mapsize(env, MapSizeFor(records)), "mdb_env_set_mapsize") &&
                Check(mdb_env_open(env, envDir, MDB_NOSYNC, 0644), envDir) &&
                StoreRecords(env, records) && Check(mdb_env_sync(env, 1), "mdb_env_sync");
  mdb_env_close(env);
  if (stored) {
    printf("%zu records of %zu bytes, key of %zu bytes, stored in %s\n", records.count,
           records.recordLength, records.keyLength, envDir);
  }
  FreeDataFileRecords(&records);
  return stored ? 0 : 1;
}

// Every record of the data file is in the environment, byte for byte, and nothing else is.
bool RecordsMatch(MDB_env* env, const DataFileRecords& records, const char* envDir) {
  MDB_txn* txn = nullptr;
  MDB_dbi dbi = 0;
  MDB_stat stat{};
  if (!Check(mdb_txn_begin(env, nullptr, MDB_RDONLY, &txn), "mdb_txn_begin")) return false;
  bool match = Check(mdb_dbi_open(txn, nullptr, 0, &dbi), "mdb_dbi_open") &&
               Check(mdb_stat(txn, dbi, &stat), "mdb_stat");
  if (match && stat.ms_entries != records.count) {
    fprintf(stderr, "%s: %zu entries, the data file has %zu records\n", envDir, stat.ms_entries,
            records.count);
    match = false;
  }
  for (size_t i = 0; match && i < records.count; ++i) {
    const unsigned char* record = RecordInKeyOrder(records, i);
    MDB_val key{records.keyLength, const_cast<unsigned char*>(record + records.keyOffset)};
    MDB_val value;
    if (mdb_get(txn, dbi, &key, &value) != MDB_SUCCESS || value.mv_size != records.recordLength ||
        memcmp(value.mv_data, record, records.recordLength) != 0) {
      fprintf(stderr, "%s: record %zu in key order differs from the data file\n", envDir, i);
      match = false;
    }
  }
  mdb_txn_abort(txn);
  return match;
}

int CheckEnv(const char* dataFile, const char* envDir) {
  DataFileRecords records;
  if (!ReadDataFileRecords(dataFile, &records)) return 1;
  MDB_env* env = nullptr;
  bool match = Check(mdb_env_create(&env), "mdb_env_create") &&
               Check(mdb_env_open(env, envDir, MDB_RDONLY, 0644), envDir) &&
               RecordsMatch(env, records, envDir);
  mdb_env_close(env);
  if (match) printf("%zu records match %s\n", records.count, dataFile);
  FreeDataFileRecords(&records);
  return match ? 0 : 1;
}

// One batch of cursor reads, each record copied out as the engine copies it into its caller's
// buffer. Returns false when a read fails.
bool CursorBatch(MDB_cursor* cursor, MDB_cursor_op op) {
  for (int i = 0; i < kBatchSize; ++i) {
    MDB_val key;
    MDB_val value;
    if (mdb_cursor_get(cursor, &key, &value, op) != MDB_SUCCESS) return false;
    memcpy(PeerBuffer, value.mv_data, value.mv_size);
  }
  return true;
}

int Time(MDB_cursor_op op, const char* envDir, int seconds) {
  MDB_env* env = nullptr;
  MDB_txn* txn = nullptr;
  MDB_dbi dbi = 0;
  MDB_cursor* cursor = nullptr;
  if (!Check(mdb_env_create(&env), "mdb_env_create") ||
      !Check(mdb_env_open(env, envDir, MDB_RDONLY, 0644), envDir) ||
      !Check(mdb_txn_begin(env, nullptr, MDB_RDONLY, &txn), "mdb_txn_begin") ||
      !Check(mdb_dbi_open(txn, nullptr, 0, &dbi), "mdb_dbi_open") ||
      !Check(mdb_cursor_open(txn, dbi, &cursor), "mdb_cursor_open")) {
    mdb_env_close(env);
    return 1;
  }
  long count = 0;
  int64_t start = PeerClockMs();
  int status = 0;
  for (;;) {
    if (!CursorBatch(cursor, op)) {
      fprintf(stderr, "%s: the cursor read failed\n", envDir);
      status = 1;
      break;
    }
    count += kBatchSize;
    if (ElapsedWholeSeconds(start, PeerClockMs()) >= seconds) break;
  }
  if (status == 0) PrintRate(count, start, PeerClockMs());
  mdb_cursor_close(cursor);
  mdb_txn_abort(txn);
  mdb_env_close(env);
  return status;
}

int Usage() {
  fprintf(stderr,
          "usage: zorbinel-lmdb-peer load|check DATAFILE ENVDIR\n"
          "       zorbinel-lmdb-peer first|last ENVDIR SECONDS\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return Usage();
  if (strcmp(argv[1], "load") == 0) return Load(argv[2], argv[3]);
  if (strcmp(argv[1], "check") == 0) return CheckEnv(argv[2], argv[3]);
  if (strcmp(argv[1], "first") == 0) return Time(MDB_FIRST, argv[2], ParseSeconds(argv[3]));
  if (strcmp(argv[1], "last") == 0) return Time(MDB_LAST, argv[2], ParseSeconds(argv[3]));
  return Usage();
}
