// A dBase filter expression walked through the work-area API against SQLite counting the same
// WHERE clause over the same rows, side by side (versus.h); and the evaluator alone on one record.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "bench/versus.h"
#include "tablengine/kelpie.h"
#include "tablengine/kpparser.h"

using namespace qern::kelpie;
using qern::bench::BenchFolder;
using qern::bench::SqliteConnection;

namespace {

const char* const kCities[] = {"Berlin", "Bonn", "Bremen", "Dresden", "Essen"};

const char* const kFilter = "CITY = 'Berlin' .AND. AMOUNT > 500 .AND. QTY < 50";
const char* const kWhere = "city = 'Berlin' AND amount > 500 AND qty < 50";

void Row(int64_t i, std::string& name, const char*& city, double& amount, int& qty) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "N%07d", static_cast<int>(i));
  name = buf;
  city = kCities[(i * 7) % 5];
  amount = static_cast<double>((i * 7919L) % 100000) / 100.0;
  qty = static_cast<int>((i * 13) % 100);
}

// The same rows in a DBF table and an SQLite database, per record count.
struct Data {
  explicit Data(int64_t records) {
    KelpieInit();
    ParserInit();
    SetErrorDispatch(false);
    table = folder.path + "/rows.dbf";
    db = folder.path + "/rows.db";
    Select(1);
    if (!CreateDbf(table, {{"NAME", 'C', 10, 0}, {"CITY", 'C', 12, 0}, {"AMOUNT", 'N', 10, 2}, {"QTY", 'N', 5, 0}}) ||
        !UseDbf(table, "ROWS", true))
      return;
    SqliteConnection c(db, qern::bench::Exclusive);
    c.Exec("CREATE TABLE t(name TEXT, city TEXT, amount REAL, qty INTEGER); BEGIN");
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(c.db, "INSERT INTO t VALUES(?, ?, ?, ?)", -1, &insert, nullptr);
    for (int64_t i = 0; i < records; ++i) {
      std::string name;
      const char* city;
      double amount;
      int qty;
      Row(i, name, city, amount, qty);
      ClearRecord();
      PutFieldStr(1, name);
      PutFieldStr(2, city);
      PutFieldNum(3, amount);
      PutFieldInt(4, qty);
      Append();
      sqlite3_bind_text(insert, 1, name.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(insert, 2, city, -1, SQLITE_STATIC);
      sqlite3_bind_double(insert, 3, amount);
      sqlite3_bind_int(insert, 4, qty);
      sqlite3_step(insert);
      sqlite3_reset(insert);
      if (std::string(city) == "Berlin" && amount > 500 && qty < 50) ++expected;
    }
    sqlite3_finalize(insert);
    c.Exec("COMMIT");
    ok = KelpieErrorCode == 0 && RecCount() == static_cast<uint32_t>(records);
    CloseAll();
  }
  BenchFolder folder;
  std::string table, db;
  long expected = 0;
  bool ok = false;
};

Data& DataOf(int64_t records) {
  static std::map<int64_t, std::unique_ptr<Data>> made;
  auto& d = made[records];
  if (!d) d = std::make_unique<Data>(records);
  return *d;
}

void BM_Filter(benchmark::State& state) {
  const int64_t records = state.range(0), mode = state.range(1);
  Data& d = DataOf(records);
  if (!d.ok) return state.SkipWithError("test table not built");
  KelpieSharedMode = 1;
  Select(1);
  if (!UseDbf(d.table, "ROWS", mode == qern::bench::Exclusive) || !SetFilterExpr(kFilter))
    return state.SkipWithError("table not opened or filter not compiled");
  SqliteConnection c(d.db, mode);
  sqlite3_stmt* query = nullptr;
  sqlite3_prepare_v2(c.db, (std::string("SELECT COUNT(*) FROM t WHERE ") + kWhere).c_str(), -1, &query, nullptr);
  long engineCount = 0, sqliteCount = 0;
  qern::bench::Versus(
      state, records,
      [&] {
        engineCount = 0;
        for (GoTop(); !dEOF(); SKIP(1)) ++engineCount;
      },
      [&] {
        sqlite3_reset(query);
        if (sqlite3_step(query) == SQLITE_ROW) sqliteCount = sqlite3_column_int64(query, 0);
      });
  sqlite3_finalize(query);
  CloseAll();
  if (engineCount != d.expected || sqliteCount != d.expected)
    state.SkipWithError("the engine or SQLite selected a different number of records");
  state.counters["selected"] = static_cast<double>(engineCount);
}
BENCHMARK(BM_Filter)->Apply(qern::bench::Sizes);

// The evaluator alone: the filter on the current record, without moving.
void BM_EvaluateFilterOnOneRecord(benchmark::State& state) {
  Data& d = DataOf(10000);
  if (!d.ok) return state.SkipWithError("test table not built");
  Select(1);
  UseDbf(d.table, "ROWS", true);
  GoTop();
  CompiledExpr* e = AssignExpr(kFilter);
  for (auto _ : state) benchmark::DoNotOptimize(Evaluate(e));
  FreeExpr(e);
  CloseAll();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EvaluateFilterOnOneRecord);

}  // namespace
