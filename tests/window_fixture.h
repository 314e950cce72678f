// A main window on Qt's offscreen platform, with its settings store in a
// temporary folder and every modal window answered by the test.
#pragma once

#include <gtest/gtest.h>

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
