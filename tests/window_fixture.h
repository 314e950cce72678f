// A main window on Qt's offscreen platform, with its settings store in a
// temporary folder and every modal window answered by the test.
#pragma once

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "model/state.h"
#include "platform/modal.h"
#include "shell/mainwindow.h"
#include "settings/settings.h"

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vantorel-window-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir = tmpl;
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    vantorel::platform::SetModalTestMode(true);
  }
  void TearDown() override {
    w.reset();
    vantorel::platform::SetModalTestMode(false);
    std::filesystem::remove_all(dir);
  }
  void Start() {
    state = vantorel::State{};
    state.SettingsPath = vantorel::BuildSettingsPath("Vantorel");
    w = std::make_unique<vantorel::frmMain>(state, "Vantorel");
    w->SetCompletePause(0);
    w->Form_Load();
  }
  void Restart() {
    w.reset();
    Start();
  }

  std::filesystem::path dir;
  vantorel::State state;
  std::unique_ptr<vantorel::frmMain> w;
};

// The room a control gives its text, in pixels: buttons lose their 2-pixel
// focus border on each side.
inline int Room(QWidget* w) { return qobject_cast<QPushButton*>(w) ? w->width() - 4 : w->contentsRect().width(); }

// Every caption, title and label of a window within its control at the
// placed size, with the fonts the program installs.
inline void ExpectTextsFit(QWidget* window) {
  for (QWidget* c : window->findChildren<QWidget*>()) {
    QString text;
    if (auto* l = qobject_cast<QLabel*>(c)) text = l->text();
    if (auto* b = qobject_cast<QPushButton*>(c)) text = b->text();
    if (text.isEmpty()) continue;
    SCOPED_TRACE(c->objectName().toStdString() + ": " + text.toStdString());
    const QFontMetrics m(c->font());
    auto* l = qobject_cast<QLabel*>(c);
    const QRect need = m.boundingRect(QRect(0, 0, Room(c), 10000),
                                      (l && l->wordWrap() ? Qt::TextWordWrap : 0) | Qt::AlignHCenter, text);
    EXPECT_LE(need.width(), Room(c));
    // The ink of a single line; the line spacing of wrapped ones.
    EXPECT_LE(l && l->wordWrap() ? need.height() : m.tightBoundingRect(text).height(), c->contentsRect().height());
  }
}
