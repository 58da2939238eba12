// NDX indexes against SQLite on 10^6 records: building an index (MakeIndex against CREATE INDEX) and
// 10^5 random seeks that position on the record (Seek against an indexed SELECT of the row).
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tablengine/kelpie.h"

namespace {

namespace kp = qern::kelpie;
constexpr int kRecords = 1000000;
constexpr int kSeeks = 100000;

std::string NameOf(uint32_t i) { return "Kunde " + std::to_string((i * 2654435761u) % 10000000u); }
int64_t NumberOf(uint32_t i) { return static_cast<int64_t>((i * 40503u) % 1000003u); }

// One table and one SQLite database with the same records, made once for all benchmarks.
struct Data {
  Data() {
    char tmpl[] = "/tmp/qern-ndxbench-XXXXXX";
    folder = mkdtemp(tmpl);
    table = folder + "/t.dbf";
    kp::KelpieStart();
    kp::CreateDbf(table, {{"NAME", 'C', 20, 0}, {"NR", 'N', 10, 0}});
    kp::Select(1);
    kp::UseDbf(table, "", true);
    for (uint32_t i = 1; i <= kRecords; ++i) {
      kp::ClearRecord();
      kp::PutFieldStr(1, NameOf(i));
      kp::PutFieldInt(2, NumberOf(i));
      kp::Append();
    }
    kp::CloseAll();
    sqlite3_open((folder + "/t.db").c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE t(name TEXT, nr INTEGER)", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t VALUES(?,?)", -1, &st, nullptr);
    for (uint32_t i = 1; i <= kRecords; ++i) {
      const std::string n = NameOf(i);
      sqlite3_bind_text(st, 1, n.c_str(), static_cast<int>(n.size()), SQLITE_TRANSIENT);
      sqlite3_bind_int64(st, 2, NumberOf(i));
      sqlite3_step(st);
      sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    std::mt19937 rng(99);
    for (int i = 0; i < kSeeks; ++i) probes.push_back(1 + rng() % kRecords);
  }
  ~Data() {
    sqlite3_close(db);
    std::filesystem::remove_all(folder);
  }
  std::string folder, table;
  sqlite3* db = nullptr;
  std::vector<uint32_t> probes;
};

Data& Shared() {
  static Data data;
  return data;
}

const char* const kExpr[] = {"NAME", "NR"};
const char* const kColumn[] = {"name", "nr"};

// range(0): 0 character key NAME, 1 numeric key NR.
void BM_KelpieMakeIndex(benchmark::State& state) {
  Data& d = Shared();
  kp::Select(1);
  kp::UseDbf(d.table, "", true);
  for (auto _ : state) kp::MakeIndex(d.folder + "/k" + std::to_string(state.range(0)), kExpr[state.range(0)]);
  kp::CloseAll();
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_SqliteCreateIndex(benchmark::State& state) {
  Data& d = Shared();
  const std::string col = kColumn[state.range(0)];
  for (auto _ : state) {
    state.PauseTiming();
    sqlite3_exec(d.db, ("DROP INDEX IF EXISTS i_" + col).c_str(), nullptr, nullptr, nullptr);
    state.ResumeTiming();
    sqlite3_exec(d.db, ("CREATE INDEX i_" + col + " ON t(" + col + ")").c_str(), nullptr, nullptr, nullptr);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

// range(0) as above; range(1) 0: the table in exclusive use, 1: shared by one program (no locks
// taken), 2: shared with locks and the semaphore file. The table is positioned on each record found
// and its fields read.
void BM_KelpieSeek(benchmark::State& state) {
  Data& d = Shared();
  const int which = static_cast<int>(state.range(0));
  const bool exclusive = state.range(1) == 0;
  kp::KelpieSharedMode = state.range(1) == 1 ? 0 : 1;
  kp::Select(1);
  kp::UseDbf(d.table, "", exclusive);
  const std::string index = d.folder + "/s" + std::to_string(which);
  kp::MakeIndex(index, kExpr[which]);
  kp::SetIndexTo(index, 1);
  std::vector<std::string> names;
  for (uint32_t p : d.probes) names.push_back(NameOf(p));
  size_t found = 0, chars = 0;
  for (auto _ : state) {
    for (size_t i = 0; i < d.probes.size(); ++i) {
      const bool ok = which == 0 ? kp::Seek(names[i]) : kp::SeekNum(static_cast<double>(NumberOf(d.probes[i])));
      found += ok;
      chars += kp::FieldStr(1).size() + static_cast<size_t>(kp::FieldInt(2) & 1);
    }
  }
  kp::CloseAll();
  kp::KelpieSharedMode = 1;
  benchmark::DoNotOptimize(chars);
  state.counters["found"] = static_cast<double>(found) / static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations() * kSeeks);
}

void BM_SqliteSeek(benchmark::State& state) {
  Data& d = Shared();
  const std::string col = kColumn[state.range(0)];
  sqlite3_exec(d.db, ("CREATE INDEX IF NOT EXISTS i_" + col + " ON t(" + col + ")").c_str(), nullptr, nullptr, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(d.db, ("SELECT name, nr FROM t WHERE " + col + " = ? LIMIT 1").c_str(), -1, &st, nullptr);
  std::vector<std::string> names;
  for (uint32_t p : d.probes) names.push_back(NameOf(p));
  size_t found = 0, chars = 0;
  for (auto _ : state) {
    for (size_t i = 0; i < d.probes.size(); ++i) {
      if (state.range(0) == 0)
        sqlite3_bind_text(st, 1, names[i].c_str(), static_cast<int>(names[i].size()), SQLITE_STATIC);
      else
        sqlite3_bind_int64(st, 1, NumberOf(d.probes[i]));
      if (sqlite3_step(st) == SQLITE_ROW) {
        ++found;
        chars += static_cast<size_t>(sqlite3_column_bytes(st, 0)) + static_cast<size_t>(sqlite3_column_int64(st, 1) & 1);
      }
      sqlite3_reset(st);
    }
  }
  sqlite3_finalize(st);
  benchmark::DoNotOptimize(chars);
  state.counters["found"] = static_cast<double>(found) / static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations() * kSeeks);
}

BENCHMARK(BM_KelpieMakeIndex)->Unit(benchmark::kMillisecond)->Iterations(2)->Arg(0)->Arg(1);
BENCHMARK(BM_SqliteCreateIndex)->Unit(benchmark::kMillisecond)->Iterations(2)->Arg(0)->Arg(1);
BENCHMARK(BM_KelpieSeek)->Unit(benchmark::kMillisecond)->Iterations(2)->ArgsProduct({{0, 1}, {0, 1, 2}});
BENCHMARK(BM_SqliteSeek)->Unit(benchmark::kMillisecond)->Iterations(2)->Arg(0)->Arg(1);

}  // namespace
