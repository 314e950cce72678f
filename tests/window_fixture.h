// A main window on Qt's offscreen platform, with its settings store in a
// temporary folder, PDF files for printers and every modal window answered
// by the test. Controls are found by their object names.
#pragma once

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/mainwindow.h"
#include "sqlite/sqlitestore.h"
#include "model/state.h"
#include "qtview/modal.h"
#include "qtview/printing.h"
#include "qtview/errorwindow.h"
#include "qtview/mainwindow.h"
#include "settings/settings.h"

// Every caption, title and label of a window within its control (buttons
// lose their 2-pixel focus border on each side), with the program's fonts.
inline void ExpectTextsFit(QWidget* window) {
  for (QWidget* c : window->findChildren<QWidget*>()) {
    auto* l = qobject_cast<QLabel*>(c);
    auto* b = qobject_cast<QPushButton*>(c);
    const QString text = l ? l->text() : b ? b->text() : QString();
    if (text.isEmpty() || c->objectName().startsWith("AppTitle")) continue;  // the title's own check is in the window test
    const QFontMetrics m(c->font());  // laid out as the label lays itself out
    const int room = b ? c->width() - 4 : c->contentsRect().width(), wrap = l && l->wordWrap() ? Qt::TextWordWrap : 0;
    const QRect need = m.boundingRect(QRect(0, 0, room, 10000), wrap | int(l ? l->alignment() : Qt::AlignHCenter), text);
    EXPECT_LE(need.width(), room) << text.toStdString();
    EXPECT_LE(wrap ? need.height() : m.tightBoundingRect(text).height(), c->contentsRect().height()) << text.toStdString();
  }
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vantorel-window-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir = tmpl;
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    vantorel::qtview::SetModalTestMode(true);
  }
  void TearDown() override {
    w.reset();
    EXPECT_EQ(vantorel::qtview::UnansweredModals(), 0);
    vantorel::qtview::SetModalTestMode(false);
    std::filesystem::remove_all(dir);
  }
  // A window under the executable name exe, with these printers (each job
  // writes page.pdf), or the print system's when systemPrinters is set; it
  // returns once the printer count has arrived (unless not settle: at once,
  // as when the window waits for a locked store).
  void Start(const std::string& exe = "Vantorel", std::vector<std::string> printerNames = {"Alpha", "Bravo"},
             bool settle = true) {
    w.reset();
    state = vantorel::State{};
    state.SettingsPath = vantorel::BuildSettingsPath(exe);
    const bool any = systemPrinters || !printerNames.empty();
    auto pdf = std::make_unique<vantorel::qtview::PdfPrintService>(printerNames, any ? 0 : -1, (dir / "page.pdf").string());
    printers = systemPrinters ? nullptr : pdf.get();
    w = std::make_unique<vantorel::qtview::frmMain>(state, exe, store, systemPrinters ? std::make_unique<vantorel::qtview::SystemPrintService>(printWaitMs)
                                                                        : std::unique_ptr<vantorel::platform::PrintService>(std::move(pdf)));
    w->SetCompletePause(0), w->SetSliceMs(sliceMs);
    w->SetExportFolder(dir.string());  // the load then finds both
    w->Form_Load();
    EXPECT_FALSE(Button(vantorel::kPrintList)->isEnabled());  // until the printer count arrives
    if (any && settle) {
      EXPECT_TRUE(QTest::qWaitFor([&] { return Button(vantorel::kPrintList)->isEnabled(); }));
    }
  }
  // Waits until a started fit has ended and the window is at rest (or has
  // ended): the search runs in slices between turns of the event loop.
  void Settle() {
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->Ended() || w->phase() == vantorel::app::Phase::Idle; }, 600000));
  }
  std::string Saved(const char* name) { return vantorel::GetRegSetting(store, state.SettingsPath, name, "none"); }

  template <class T = QWidget>
  T* Find(const QString& name) {
    EXPECT_TRUE(w->findChild<T*>(name)) << name.toStdString();
    return w->findChild<T*>(name);
  }
  static QString At(const char* name, size_t k) { return QString("%1(%2)").arg(name).arg(k); }
  QPushButton* Button(int i) { return Find<QPushButton>(At("cbButton", static_cast<size_t>(i))); }
  QLineEdit* RangeField(size_t k) { return Find<QLineEdit>(At("RTxt", k)); }
  QLineEdit* ClicksField(size_t k) { return Find<QLineEdit>(At("CTxt", k)); }
  QCheckBox* Tick(size_t k) { return Find<QCheckBox>(At("Ticked", k)); }
  QString Label(size_t k) { return Find<QLabel>(At("ErrorInd", k))->text(); }
  QString List() { return Find<QPlainTextEdit>("ClickList")->toPlainText(); }
  // Presses a button as the mouse does; a fit it starts runs to its end.
  void Press(int i) {
    QTest::mouseClick(Button(i), Qt::LeftButton);
    Settle();
  }
  void Type(QLineEdit* field, const QString& text, Qt::Key then = Qt::Key_Return) {
    field->setFocus(), field->selectAll();
    text.toUtf8().size() == text.size() ? QTest::keyClicks(field, text) : field->insert(text);  // else as pasted
    QTest::keyClick(field, then);
  }
  // Answers the next modal window: notes "title|text" and closes it as a user would;
  // the error window's texts are measured against their controls too, and
  // it is read as an alert named by its title with its body as description.
  void Answer() {
    vantorel::qtview::QueueModalAnswer([this](QDialog& d) {
      if (auto* e = qobject_cast<vantorel::qtview::frmError*>(&d)) {
        const QString body = e->Body()->text().remove(QChar(0x200B));
        told.push_back(e->Title()->text() + "|" + body);
        ExpectTextsFit(e);
        EXPECT_EQ(std::pair(e->Body()->font().pointSizeF() >= 9, e->screen()->availableGeometry().contains(e->geometry())), std::pair(true, true));
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(e);
        EXPECT_EQ(std::tuple(a->role(), a->text(QAccessible::Name).toStdString(), a->text(QAccessible::Description).toStdString()),
                  std::tuple(QAccessible::AlertMessage, e->Title()->text().toStdString(), body.toStdString())) << body.toStdString();
        if (w) {  // centred over the main window
          EXPECT_LE((e->geometry().center() - w->geometry().center()).manhattanLength(), 1);
        }
        QTest::mouseClick(e->cbClose(), Qt::LeftButton);
      } else if (auto* box = qobject_cast<QMessageBox*>(&d)) {
        told.push_back(box->windowTitle() + "|" + box->text());
        box->accept();
      }
    });
  }

  std::filesystem::path dir;
  vantorel::State state;
  vantorel::sqlite::SqliteStore store;
  std::unique_ptr<vantorel::qtview::frmMain> w;
  vantorel::qtview::PdfPrintService* printers = nullptr;
  bool systemPrinters = false;
  int printWaitMs = vantorel::platform::kPrintSystemWaitMs;  // each ask of the print system given up after it
  int sliceMs = 10;
  std::vector<QString> told;
};
