// The table engine against SQLite, side by side: one benchmark runs the engine's and SQLite's
// version of the same work alternately, at 10^4, 10^5 and 10^6 records and in both modes, and
// reports each one's best time per record and their ratio on one line.
//
// The modes compare like with like: "exclusive" is the engine's exclusive use against SQLite with
// EXCLUSIVE locking, no syncs and prepared statements; "shared" is the engine's shared use (byte
// range locks taken) against SQLite's default locking and syncing, every statement in autocommit
// unless the work is one transaction on both sides.
#pragma once

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>

namespace qern::bench {

enum Mode : int64_t { Exclusive = 0, Shared = 1 };

// The record counts and modes of every comparison: Args({records, mode}).
inline void Sizes(benchmark::internal::Benchmark* b) {
  b->ArgNames({"records", "shared"});
  for (int64_t n : {10000, 100000, 1000000})
    for (int64_t mode : {Exclusive, Shared}) b->Args({n, mode});
  b->UseManualTime()->Unit(benchmark::kMillisecond);
}

// A private folder under /tmp, removed with its files.
struct BenchFolder {
  BenchFolder() {
    char tmpl[] = "/tmp/qern-bench-XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~BenchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  BenchFolder(const BenchFolder&) = delete;
  BenchFolder& operator=(const BenchFolder&) = delete;
  std::string path;
};

// An SQLite connection in a mode, closed with the object.
struct SqliteConnection {
  SqliteConnection(const std::string& file, int64_t mode) {
    sqlite3_open(file.c_str(), &db);
    if (mode == Exclusive)
      sqlite3_exec(db, "PRAGMA locking_mode=EXCLUSIVE; PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
  }
  ~SqliteConnection() { sqlite3_close(db); }
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;
  void Exec(const char* sql) const { sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
  sqlite3* db = nullptr;
};

template <class F>
double SecondsOf(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs engine and sqlite once per iteration (optional untimed preparation before each); the
// benchmark's time is the engine's. Counters: the best time of each per item in nanoseconds and
// the ratio engine / SQLite of the best times (below 1: the engine is faster).
inline void Versus(benchmark::State& state, int64_t items, const std::function<void()>& engine,
                   const std::function<void()>& sqlite, const std::function<void()>& prepare = {}) {
  double bestEngine = std::numeric_limits<double>::infinity();
  double bestSqlite = bestEngine;
  for (auto _ : state) {
    if (prepare) prepare();
    const double e = SecondsOf(engine);
    if (prepare) prepare();
    const double s = SecondsOf(sqlite);
    bestEngine = std::min(bestEngine, e);
    bestSqlite = std::min(bestSqlite, s);
    state.SetIterationTime(e);
  }
  const double n = static_cast<double>(std::max<int64_t>(items, 1));
  state.counters["engine_ns"] = bestEngine * 1e9 / n;
  state.counters["sqlite_ns"] = bestSqlite * 1e9 / n;
  state.counters["ratio"] = bestSqlite > 0 ? bestEngine / bestSqlite : 0;
  state.SetItemsProcessed(state.iterations() * items);
}

}  // namespace qern::bench
