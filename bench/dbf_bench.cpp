// The table engine against SQLite on the same work, side by side (versus.h): appending records to
// a new table, and reading them all back in order (every field of every record).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "bench/versus.h"
#include "tablengine/kelpie.h"

namespace {

namespace kp = qern::kelpie;
using qern::bench::BenchFolder;
using qern::bench::SqliteConnection;

const std::vector<kp::FieldSpec> kFields = {
    {"NAME", 'C', 20, 0}, {"NR", 'N', 10, 0}, {"WERT", 'N', 12, 3}, {"AM", 'D', 8, 0}, {"OK", 'L', 1, 0}};

void KelpieAppend(const std::string& name, int64_t records, int64_t mode) {
  kp::CreateDbf(name, kFields);
  kp::Select(1);
  kp::UseDbf(name, "", mode == qern::bench::Exclusive);
  if (mode == qern::bench::Shared) kp::ALock();
  for (int64_t i = 1; i <= records; ++i) {
    kp::ClearRecord();
    kp::PutFieldStr(1, "Kunde " + std::to_string(i));
    kp::PutFieldInt(2, i);
    kp::PutFieldNum(3, static_cast<double>(i) * 0.125);
    kp::PutFieldDate(4, "20261207");
    kp::PutFieldBool(5, i % 2 == 0);
    kp::Append();
  }
  if (mode == qern::bench::Shared) kp::Unlock();
  kp::CloseAll();
}

// The same records in one transaction (the engine's appends run under its table lock).
void SqliteAppend(const std::string& file, int64_t records, int64_t mode) {
  SqliteConnection c(file, mode);
  c.Exec("CREATE TABLE t(name TEXT, nr INTEGER, wert REAL, am TEXT, ok INTEGER)");
  c.Exec("BEGIN");
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(c.db, "INSERT INTO t VALUES(?,?,?,?,?)", -1, &st, nullptr);
  for (int64_t i = 1; i <= records; ++i) {
    const std::string n = "Kunde " + std::to_string(i);
    sqlite3_bind_text(st, 1, n.c_str(), static_cast<int>(n.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(st, 2, i);
    sqlite3_bind_double(st, 3, static_cast<double>(i) * 0.125);
    sqlite3_bind_text(st, 4, "20261207", 8, SQLITE_STATIC);
    sqlite3_bind_int(st, 5, i % 2 == 0);
    sqlite3_step(st);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  c.Exec("COMMIT");
}

void BM_Append(benchmark::State& state) {
  const int64_t records = state.range(0), mode = state.range(1);
  BenchFolder f;
  const std::string table = f.path + "/t.dbf", db = f.path + "/t.db";
  qern::bench::Versus(
      state, records, [&] { KelpieAppend(table, records, mode); }, [&] { SqliteAppend(db, records, mode); },
      [&] {
        std::remove(table.c_str());
        std::remove(db.c_str());
      });
}
BENCHMARK(BM_Append)->Apply(qern::bench::Sizes)->Iterations(3);

// One table and one database per record count, made once.
struct ReadData {
  BenchFolder folder;
  std::string table, db;
};
const ReadData& DataOf(int64_t records) {
  static std::map<int64_t, std::unique_ptr<ReadData>> made;
  auto& d = made[records];
  if (!d) {
    d = std::make_unique<ReadData>();
    d->table = d->folder.path + "/t.dbf";
    d->db = d->folder.path + "/t.db";
    KelpieAppend(d->table, records, qern::bench::Exclusive);
    SqliteAppend(d->db, records, qern::bench::Exclusive);
  }
  return *d;
}

void BM_ReadAll(benchmark::State& state) {
  const int64_t records = state.range(0), mode = state.range(1);
  const ReadData& d = DataOf(records);
  double sum = 0;
  size_t chars = 0;
  const auto engine = [&] {
    kp::Select(1);
    kp::UseDbf(d.table, "", mode == qern::bench::Exclusive);
    for (kp::GoTop(); !kp::dEOF(); kp::SKIP(1)) {
      chars += kp::FieldStr(1).size();
      sum += static_cast<double>(kp::FieldInt(2)) + kp::FieldNum(3);
      chars += kp::FieldDate(4).size() + kp::FieldBool(5);
    }
    kp::CloseAll();
  };
  const auto sqlite = [&] {
    SqliteConnection c(d.db, mode);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(c.db, "SELECT name, nr, wert, am, ok FROM t ORDER BY rowid", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
      sqlite3_column_text(st, 0);
      chars += static_cast<size_t>(sqlite3_column_bytes(st, 0));
      sum += static_cast<double>(sqlite3_column_int64(st, 1)) + sqlite3_column_double(st, 2);
      sqlite3_column_text(st, 3);
      chars += static_cast<size_t>(sqlite3_column_bytes(st, 3)) + static_cast<size_t>(sqlite3_column_int(st, 4));
    }
    sqlite3_finalize(st);
  };
  qern::bench::Versus(state, records, engine, sqlite);
  benchmark::DoNotOptimize(sum);
  benchmark::DoNotOptimize(chars);
}
BENCHMARK(BM_ReadAll)->Apply(qern::bench::Sizes)->MinTime(1.5);

}  // namespace
