// Speed of the closing save and of the load, through the real store file
// (rollback journal, synchronous=FULL, the whole save in one transaction).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "sqlite/sqlitestore.h"
#include "settings/settings.h"

using namespace vantorel;

namespace {

sqlite::SqliteStore store;

// A configuration folder of its own, removed at the end.
class TempConfig {
 public:
  TempConfig() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vantorel-bench-XXXXXX").string();
    if (mkdtemp(tmpl.data())) folder_ = tmpl;
    setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
    store.CloseConnection();
  }
  ~TempConfig() {
    store.CloseConnection();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }

 private:
  std::filesystem::path folder_;
};

State Saved(int i) {
  State s = DefaultState();
  s.SettingsPath = BuildSettingsPath("Vantorel");
  s.DataRange[0] = static_cast<int16_t>(10 + i % 2);  // a real change on every save
  s.ModelBC = Variant::Number(0.034000000000000004);
  return s;
}

// SaveData of every value (24 writes, one transaction) into an existing store.
void BM_SaveData(benchmark::State& bs) {
  TempConfig config;
  SaveData(store, Saved(0));
  int i = 0;
  for (auto _ : bs) SaveData(store, Saved(++i));
}

// The closing save as the program ends: SaveData, then the connection
// closes.
void BM_SaveDataAndClose(benchmark::State& bs) {
  TempConfig config;
  SaveData(store, Saved(0));
  int i = 0;
  for (auto _ : bs) {
    SaveData(store, Saved(++i));
    store.CloseConnection();
  }
}

// The first save of a first run: folder, file and tables are created.
void BM_FirstSaveData(benchmark::State& bs) {
  for (auto _ : bs) {
    bs.PauseTiming();
    {
      TempConfig config;
      bs.ResumeTiming();
      SaveData(store, Saved(0));
      bs.PauseTiming();
    }
    bs.ResumeTiming();
  }
}

// LoadData of every value from a saved store, on a fresh connection as at
// the start of a run (the integrity check included).
void BM_LoadData(benchmark::State& bs) {
  TempConfig config;
  SaveData(store, Saved(0));
  for (auto _ : bs) {
    store.CloseConnection();
    State s;
    s.SettingsPath = BuildSettingsPath("Vantorel");
    LoadData(store, s);
    benchmark::DoNotOptimize(s.DataRange);
  }
}

}  // namespace

BENCHMARK(BM_SaveData)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveDataAndClose)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstSaveData)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_LoadData)->Unit(benchmark::kMillisecond);
