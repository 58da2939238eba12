// Records per second of a dBase filter expression over a table of 10^6 records, walked through the
// work-area API, against SQLite counting the same WHERE clause over the same data in the same run;
// and the evaluator alone on one record.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tablengine/kelpie.h"
#include "tablengine/kpparser.h"

using namespace qern::kelpie;

namespace {

constexpr int kRecords = 1000000;
const char* const kCities[] = {"Berlin", "Bonn", "Bremen", "Dresden", "Essen"};

const char* const kFilter = "CITY = 'Berlin' .AND. AMOUNT > 500 .AND. QTY < 50";
const char* const kWhere = "city = 'Berlin' AND amount > 500 AND qty < 50";

void Row(int i, std::string& name, const char*& city, double& amount, int& qty) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "N%07d", i);
  name = buf;
  city = kCities[(i * 7) % 5];
  amount = static_cast<double>((i * 7919L) % 100000) / 100.0;
  qty = (i * 13) % 100;
}

// The same rows in a DBF table (area 1) and an SQLite database, in a temporary folder.
struct Data {
  std::string folder;
  sqlite3* db = nullptr;
  long expected = 0;
  bool ok = false;

  Data() {
    char tmpl[] = "/tmp/qern-bench-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) return;
    folder = tmpl;
    KelpieInit();
    ParserInit();
    SetErrorDispatch(false);
    const std::string table = folder + "/rows.dbf";
    Select(1);
    if (!CreateDbf(table, {{"NAME", 'C', 10, 0}, {"CITY", 'C', 12, 0}, {"AMOUNT", 'N', 10, 2}, {"QTY", 'N', 5, 0}}) ||
        !UseDbf(table, "ROWS", true))
      return;
    if (sqlite3_open((folder + "/rows.db").c_str(), &db) != SQLITE_OK) return;
    sqlite3_exec(db, "CREATE TABLE t(name TEXT, city TEXT, amount REAL, qty INTEGER); BEGIN", nullptr, nullptr,
                 nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t VALUES(?, ?, ?, ?)", -1, &insert, nullptr);
    ALock();
    for (int i = 0; i < kRecords; ++i) {
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
    Unlock();
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    ok = KelpieErrorCode == 0 && RecCount() == static_cast<uint32_t>(kRecords);
  }
  ~Data() {
    CloseAll();
    if (db != nullptr) sqlite3_close(db);
    std::error_code ec;
    if (!folder.empty()) std::filesystem::remove_all(folder, ec);
  }
};

Data& Shared() {
  static Data data;
  return data;
}

void BM_DbfFilterExpression(benchmark::State& state) {
  Data& d = Shared();
  if (!d.ok) return state.SkipWithError("test table not built");
  Select(1);
  if (!SetFilterExpr(kFilter)) return state.SkipWithError("filter not compiled");
  long count = 0;
  for (auto _ : state) {
    count = 0;
    for (GoTop(); !dEOF(); SKIP(1)) ++count;
  }
  SetFilterExpr("");
  if (count != d.expected) state.SkipWithError("filter selected a different number of records");
  state.counters["selected"] = static_cast<double>(count);
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_DbfFilterExpression)->Unit(benchmark::kMillisecond);

void BM_SqliteWhere(benchmark::State& state) {
  Data& d = Shared();
  if (!d.ok) return state.SkipWithError("test table not built");
  sqlite3_stmt* query = nullptr;
  sqlite3_prepare_v2(d.db, (std::string("SELECT COUNT(*) FROM t WHERE ") + kWhere).c_str(), -1, &query, nullptr);
  long count = 0;
  for (auto _ : state) {
    sqlite3_reset(query);
    if (sqlite3_step(query) == SQLITE_ROW) count = sqlite3_column_int64(query, 0);
  }
  sqlite3_finalize(query);
  if (count != d.expected) state.SkipWithError("query selected a different number of records");
  state.counters["selected"] = static_cast<double>(count);
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_SqliteWhere)->Unit(benchmark::kMillisecond);

// The evaluator alone: the filter on the current record, without moving.
void BM_EvaluateFilterOnOneRecord(benchmark::State& state) {
  Data& d = Shared();
  if (!d.ok) return state.SkipWithError("test table not built");
  Select(1);
  GoTop();
  CompiledExpr* e = AssignExpr(kFilter);
  for (auto _ : state) benchmark::DoNotOptimize(Evaluate(e));
  FreeExpr(e);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EvaluateFilterOnOneRecord);

}  // namespace
