// The table engine against SQLite on the same work: appending 10^6 records to a new table and
// reading them all back in order (every field of every record), each in its own temporary folder.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "tablengine/kelpie.h"

namespace {

namespace kp = qern::kelpie;
constexpr int kRecords = 1000000;

struct Folder {
  Folder() {
    char tmpl[] = "/tmp/qern-bench-XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~Folder() { std::filesystem::remove_all(path); }
  std::string path;
};

const std::vector<kp::FieldSpec> kFields = {
    {"NAME", 'C', 20, 0}, {"NR", 'N', 10, 0}, {"WERT", 'N', 12, 3}, {"AM", 'D', 8, 0}, {"OK", 'L', 1, 0}};

void KelpieAppend(const std::string& name) {
  kp::CreateDbf(name, kFields);
  kp::Select(1);
  kp::UseDbf(name);
  kp::ALock();
  for (int i = 1; i <= kRecords; ++i) {
    kp::ClearRecord();
    kp::PutFieldStr(1, "Kunde " + std::to_string(i));
    kp::PutFieldInt(2, i);
    kp::PutFieldNum(3, i * 0.125);
    kp::PutFieldDate(4, "20261207");
    kp::PutFieldBool(5, i % 2 == 0);
    kp::Append();
  }
  kp::Unlock();
  kp::CloseAll();
}

void SqliteAppend(sqlite3* db) {
  sqlite3_exec(db, "CREATE TABLE t(name TEXT, nr INTEGER, wert REAL, am TEXT, ok INTEGER)", nullptr,
               nullptr, nullptr);
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO t VALUES(?,?,?,?,?)", -1, &st, nullptr);
  for (int i = 1; i <= kRecords; ++i) {
    const std::string n = "Kunde " + std::to_string(i);
    sqlite3_bind_text(st, 1, n.c_str(), static_cast<int>(n.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(st, 2, i);
    sqlite3_bind_double(st, 3, i * 0.125);
    sqlite3_bind_text(st, 4, "20261207", 8, SQLITE_STATIC);
    sqlite3_bind_int(st, 5, i % 2 == 0);
    sqlite3_step(st);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
}

void BM_KelpieAppend(benchmark::State& state) {
  for (auto _ : state) {
    Folder f;
    KelpieAppend(f.path + "/t.dbf");
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_SqliteAppend(benchmark::State& state) {
  for (auto _ : state) {
    Folder f;
    sqlite3* db = nullptr;
    sqlite3_open((f.path + "/t.db").c_str(), &db);
    SqliteAppend(db);
    sqlite3_close(db);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

// range(0) 1: the table opened for exclusive use (records read in blocks), else shared.
void BM_KelpieRead(benchmark::State& state) {
  Folder f;
  const std::string name = f.path + "/t.dbf";
  KelpieAppend(name);
  for (auto _ : state) {
    kp::Select(1);
    kp::UseDbf(name, "", state.range(0) == 1);
    double sum = 0;
    size_t chars = 0;
    for (kp::GoTop(); !kp::dEOF(); kp::SKIP(1)) {
      chars += kp::FieldStr(1).size();
      sum += static_cast<double>(kp::FieldInt(2)) + kp::FieldNum(3);
      chars += kp::FieldDate(4).size() + kp::FieldBool(5);
    }
    kp::CloseAll();
    benchmark::DoNotOptimize(sum);
    benchmark::DoNotOptimize(chars);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_SqliteRead(benchmark::State& state) {
  Folder f;
  sqlite3* db = nullptr;
  sqlite3_open((f.path + "/t.db").c_str(), &db);
  SqliteAppend(db);
  for (auto _ : state) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT name, nr, wert, am, ok FROM t ORDER BY rowid", -1, &st, nullptr);
    double sum = 0;
    size_t chars = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
      chars += static_cast<size_t>(sqlite3_column_bytes(st, 0));
      sqlite3_column_text(st, 0);
      sum += static_cast<double>(sqlite3_column_int64(st, 1)) + sqlite3_column_double(st, 2);
      sqlite3_column_text(st, 3);
      chars += static_cast<size_t>(sqlite3_column_bytes(st, 3)) + sqlite3_column_int(st, 4);
    }
    sqlite3_finalize(st);
    benchmark::DoNotOptimize(sum);
    benchmark::DoNotOptimize(chars);
  }
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations() * kRecords);
}

BENCHMARK(BM_KelpieAppend)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SqliteAppend)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_KelpieRead)->Unit(benchmark::kMillisecond)->Iterations(2)->Arg(0)->Arg(1);
BENCHMARK(BM_SqliteRead)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
