// NDX indexes against SQLite, side by side (versus.h): building an index (MakeIndex against CREATE
// INDEX) and random seeks that position on the record found and read its fields (Seek against an
// indexed SELECT of the row, a prepared statement).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/versus.h"
#include "tablengine/kelpie.h"

namespace {

namespace kp = qern::kelpie;
using qern::bench::BenchFolder;
using qern::bench::SqliteConnection;
constexpr int kSeeks = 20000;  // per iteration, at every size

std::string NameOf(uint32_t i) { return "Kunde " + std::to_string((i * 2654435761u) % 10000000u); }
int64_t NumberOf(uint32_t i) { return static_cast<int64_t>((i * 40503u) % 1000003u); }

// One table and one SQLite database with the same records per record count, made once.
struct Data {
  explicit Data(int64_t records) {
    table = folder.path + "/t.dbf";
    db = folder.path + "/t.db";
    kp::KelpieStart();
    kp::CreateDbf(table, {{"NAME", 'C', 20, 0}, {"NR", 'N', 10, 0}});
    kp::Select(1);
    kp::UseDbf(table, "", true);
    for (uint32_t i = 1; i <= records; ++i) {
      kp::ClearRecord();
      kp::PutFieldStr(1, NameOf(i));
      kp::PutFieldInt(2, NumberOf(i));
      kp::Append();
    }
    kp::CloseAll();
    SqliteConnection c(db, qern::bench::Exclusive);
    c.Exec("CREATE TABLE t(name TEXT, nr INTEGER)");
    c.Exec("BEGIN");
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(c.db, "INSERT INTO t VALUES(?,?)", -1, &st, nullptr);
    for (uint32_t i = 1; i <= records; ++i) {
      const std::string n = NameOf(i);
      sqlite3_bind_text(st, 1, n.c_str(), static_cast<int>(n.size()), SQLITE_TRANSIENT);
      sqlite3_bind_int64(st, 2, NumberOf(i));
      sqlite3_step(st);
      sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    c.Exec("COMMIT");
    std::mt19937 rng(99);
    for (int i = 0; i < kSeeks; ++i) probes.push_back(1 + rng() % static_cast<uint32_t>(records));
    for (uint32_t p : probes) names.push_back(NameOf(p));
  }
  BenchFolder folder;
  std::string table, db;
  std::vector<uint32_t> probes;
  std::vector<std::string> names;
};

Data& DataOf(int64_t records) {
  static std::map<int64_t, std::unique_ptr<Data>> made;
  auto& d = made[records];
  if (!d) d = std::make_unique<Data>(records);
  return *d;
}

const char* const kExpr[] = {"NAME", "NR"};
const char* const kColumn[] = {"name", "nr"};

// Opens the table in area 1 in the mode (shared: byte-range locks and the semaphore file).
void UseTable(const Data& d, int64_t mode) {
  kp::KelpieSharedMode = 1;
  kp::Select(1);
  kp::UseDbf(d.table, "", mode == qern::bench::Exclusive);
}

// range(2): 0 the character key NAME, 1 the numeric key NR.
void BM_MakeIndex(benchmark::State& state) {
  const int64_t records = state.range(0), mode = state.range(1);
  const int which = static_cast<int>(state.range(2));
  Data& d = DataOf(records);
  const std::string col = kColumn[which];
  UseTable(d, mode);
  SqliteConnection c(d.db, mode);
  const std::string drop = "DROP INDEX IF EXISTS m_" + col;
  const std::string create = "CREATE INDEX m_" + col + " ON t(" + col + ")";
  qern::bench::Versus(
      state, records, [&] { kp::MakeIndex(d.folder.path + "/m" + std::to_string(which), kExpr[which]); },
      [&] { c.Exec(create.c_str()); }, [&] { c.Exec(drop.c_str()); });
  c.Exec(drop.c_str());
  kp::CloseAll();
}

void BM_Seek(benchmark::State& state) {
  const int64_t records = state.range(0), mode = state.range(1);
  const int which = static_cast<int>(state.range(2));
  Data& d = DataOf(records);
  UseTable(d, mode);
  const std::string index = d.folder.path + "/s" + std::to_string(which);
  kp::MakeIndex(index, kExpr[which]);
  kp::SetIndexTo(index, 1);
  const std::string col = kColumn[which];
  SqliteConnection c(d.db, mode);
  c.Exec(("CREATE INDEX IF NOT EXISTS i_" + col + " ON t(" + col + ")").c_str());
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(c.db, ("SELECT name, nr FROM t WHERE " + col + " = ? LIMIT 1").c_str(), -1, &st, nullptr);
  size_t foundEngine = 0, foundSqlite = 0, chars = 0;
  const auto engine = [&] {
    for (size_t i = 0; i < d.probes.size(); ++i) {
      const bool ok = which == 0 ? kp::Seek(d.names[i]) : kp::SeekNum(static_cast<double>(NumberOf(d.probes[i])));
      foundEngine += ok;
      chars += kp::FieldStr(1).size() + static_cast<size_t>(kp::FieldInt(2) & 1);
    }
  };
  const auto sqlite = [&] {
    for (size_t i = 0; i < d.probes.size(); ++i) {
      if (which == 0)
        sqlite3_bind_text(st, 1, d.names[i].c_str(), static_cast<int>(d.names[i].size()), SQLITE_STATIC);
      else
        sqlite3_bind_int64(st, 1, NumberOf(d.probes[i]));
      if (sqlite3_step(st) == SQLITE_ROW) {
        ++foundSqlite;
        chars += static_cast<size_t>(sqlite3_column_bytes(st, 0)) +
                 static_cast<size_t>(sqlite3_column_int64(st, 1) & 1);
      }
      sqlite3_reset(st);
    }
  };
  qern::bench::Versus(state, kSeeks, engine, sqlite);
  sqlite3_finalize(st);
  kp::CloseAll();
  benchmark::DoNotOptimize(chars);
  if (foundEngine != foundSqlite) state.SkipWithError("the engine and SQLite found different numbers of records");
}

void SizesAndKeys(benchmark::internal::Benchmark* b) {
  b->ArgNames({"records", "shared", "numeric"});
  for (int64_t n : {10000, 100000, 1000000})
    for (int64_t mode : {qern::bench::Exclusive, qern::bench::Shared})
      for (int64_t key : {0, 1}) b->Args({n, mode, key});
  b->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_MakeIndex)->Apply(SizesAndKeys)->Iterations(3);
BENCHMARK(BM_Seek)->Apply(SizesAndKeys);

}  // namespace
