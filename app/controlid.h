// Every control of the three windows by a typed id. A front end keeps an
// id-to-widget table built from the layouts; nothing is named by a string
// that has to be parsed back, and a control that does not exist cannot be
// named at all. The arrays of the first version (RTxt(0) to RTxt(5), ...)
// are consecutive ids, reached by index through the checked helpers below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>

namespace vantorel {

// Indexes of the command buttons cbButton(0) to cbButton(5).
enum Command { kExit = 0, kCalculate = 1, kSaveCsv = 2, kImperial = 3, kMetric = 4, kPrintList = 5 };

}  // namespace vantorel

namespace vantorel::app {

enum class Id : uint8_t {
  // The main window, frmMain.
  frmMain,
  AppTitle0,
  AppTitle1,
  P0,
  P5,
  ClickList,
  Mode0,
  RFrm0,
  RFrm1,
  RFrm2,
  RFrm3,
  RFrm4,
  RFrm5,
  Range0,
  Range1,
  Range2,
  Range3,
  Range4,
  Range5,
  RTxt0,
  RTxt1,
  RTxt2,
  RTxt3,
  RTxt4,
  RTxt5,
  Clicks0,
  Clicks1,
  Clicks2,
  Clicks3,
  Clicks4,
  Clicks5,
  CTxt0,
  CTxt1,
  CTxt2,
  CTxt3,
  CTxt4,
  CTxt5,
  Ticked0,
  Ticked1,
  Ticked2,
  Ticked3,
  Ticked4,
  Ticked5,
  ErrorInd0,
  ErrorInd1,
  ErrorInd2,
  ErrorInd3,
  ErrorInd4,
  ErrorInd5,
  Frame5,
  cbButton0,
  cbButton1,
  cbButton2,
  cbButton3,
  cbButton4,
  cbButton5,
  Frame3,
  Working,
  btnControl,
  Copyright,
  // The error window, frmError.
  frmError,
  ErrTitle,
  ErrBody,
  cbClose,
  // The printer chooser, frmSelectPrinter.
  frmSelectPrinter,
  PrnTitle,
  PrnClose,
  List1,
  cbCancel,
  cbOK,
};

// One past the last id: the size of a view's id-to-widget table.
inline constexpr size_t kIdCount = static_cast<size_t>(Id::cbOK) + 1;

inline constexpr size_t Index(Id id) { return static_cast<size_t>(id); }

// The arrays' first ids and their length.
inline constexpr int kArrayLength = 6;

// Element index of the array that starts at first: RTxt(3) is Element(Id::RTxt0, 3).
// An index outside 0 to 5 is a programming error and throws.
inline Id Element(Id first, int index) {
  if (index < 0 || index >= kArrayLength) throw std::out_of_range("control array index out of range");
  return static_cast<Id>(static_cast<int>(first) + index);
}
inline Id Element(Id first, size_t index) {
  if (index >= static_cast<size_t>(kArrayLength)) throw std::out_of_range("control array index out of range");
  return static_cast<Id>(static_cast<size_t>(first) + index);
}

// The index of id within the array that starts at first, or nullopt when id
// is not one of its elements.
inline constexpr std::optional<int> IndexIn(Id id, Id first) {
  const int d = static_cast<int>(id) - static_cast<int>(first);
  if (d < 0 || d >= kArrayLength) return std::nullopt;
  return d;
}

// The window an id belongs to.
inline constexpr Id WindowOf(Id id) {
  if (id >= Id::frmSelectPrinter) return Id::frmSelectPrinter;
  if (id >= Id::frmError) return Id::frmError;
  return Id::frmMain;
}

}  // namespace vantorel::app
