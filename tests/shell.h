// What a command writes on standard output; the test fails when the command fails.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

inline std::string Shell(const std::string& command) {
  std::string out;
  char buf[4096];
  FILE* f = popen(command.c_str(), "r");
  for (size_t n; f && (n = fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
  EXPECT_TRUE(f && pclose(f) == 0) << command;
  return out;
}
