// The program's shared values, named as the rest of the program knows them,
// grouped by who owns them: the data rows and the model are the shooter's and
// are saved; the click table and its extents are worked out from them; the
// session's flags belong to the running program and are never saved. State
// is all of them together, so that every value keeps its one name (s.DataRange,
// s.ModelMV, s.ClickTable, ...) while a procedure can take only the group it uses.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace vantorel {

constexpr int kRows = 6;           // data points, Range #1 to Range #6
constexpr int kTableSize = 251;    // click table entries, ranges 1 to 251
constexpr int kTableFilled = 200;  // ranges 1 to 200 are computed

// A model parameter as the program holds it: after a load it keeps the text it
// was read from (so a save writes it back unchanged, with all its digits);
// after a fit it holds the number found. Arithmetic always uses number(),
// which for a text is the value the settings layer parsed from it in the
// user's locale (NaN when the text is not a number).
class Variant {
 public:
  Variant() = default;
  static Variant Number(double v) {
    Variant r;
    r.num_ = v;
    return r;
  }
  static Variant Text(std::string text, double parsed) {
    Variant r;
    r.num_ = parsed;
    r.text_ = std::move(text);
    r.isText_ = true;
    return r;
  }
  double number() const { return num_; }
  bool isText() const { return isText_; }
  const std::string& text() const { return text_; }

 private:
  double num_ = 0.0;
  std::string text_;
  bool isText_ = false;
};

// The five parameters of the trajectory model as plain numbers.
struct ModelParams {
  double mv = 0;   // muzzle velocity, ft/s or m/s
  double bc = 0;   // ballistic coefficient
  double sh = 0;   // sight height, inches or cm
  double zr = 0;   // zero range, yards or metres
  double cpm = 0;  // turret clicks per minute of angle
};

// The values of a first start: six rows, all ticked, and the model in
// imperial units.
inline constexpr std::array<int16_t, kRows> kDefaultRanges = {10, 20, 30, 40, 50, 55};
inline constexpr std::array<int16_t, kRows> kDefaultClicks = {52, 0, 0, 12, 28, 44};
inline constexpr int16_t kDefaultTick = 1;
inline constexpr ModelParams kDefaultModel{790, 0.033, 2, 30, 8};

// The six data points as the shooter entered them. Saved.
struct DataRows {
  std::array<int16_t, kRows> DataRange{};
  std::array<int16_t, kRows> DataClicks{};
  // Check box values of the six rows (0 clear, 1 ticked, 2 greyed); the
  // window keeps these in step with its boxes. Only 1 counts as ticked.
  std::array<int16_t, kRows> Ticked{};

  bool IsTicked(int i) const { return Ticked[static_cast<size_t>(i)] == 1; }
  int TickedCount() const {
    int n = 0;
    for (int i = 0; i < kRows; ++i) n += IsTicked(i) ? 1 : 0;
    return n;
  }
};

// The fitted model and the units it and the rows are in. Saved.
struct SavedModel {
  Variant ModelMV, ModelBC, ModelSH, ModelZR;
  double ModelCPM = 0.0;
  bool MetricUnits = false;

  ModelParams Params() const {
    return {ModelMV.number(), ModelBC.number(), ModelSH.number(), ModelZR.number(), ModelCPM};
  }
  void SetParams(const ModelParams& p) {
    ModelMV = Variant::Number(p.mv);
    ModelBC = Variant::Number(p.bc);
    ModelSH = Variant::Number(p.sh);
    ModelZR = Variant::Number(p.zr);
    ModelCPM = p.cpm;
  }
};

// Worked out from the rows and the model by the click table: what the list,
// the graph and the printed page show. Never saved.
struct TableExtents {
  std::array<int16_t, kTableSize> ClickTable{};
  int MinDataRange = 0;
  int MaxDataRange = 0;
  int MaxDataClicks = 0;
  int MinTableClicks = 0;
};

// The running program's own flags and the store's location. Never saved.
struct Session {
  bool FormReady = false;
  bool PrinterChosen = false;
  std::string SettingsPath;
};

struct State : DataRows, SavedModel, TableExtents, Session {};

// The values a first start uses: the six default rows, all ticked, and the
// default model in imperial units.
State DefaultState();

}  // namespace vantorel
