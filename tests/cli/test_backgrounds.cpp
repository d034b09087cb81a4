// `sonavel-cli backgrounds`: the table built from the program's folder or
// from another one.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string Backgrounds(const std::string& args, int* code) {
  std::string cmd = std::string(SONAVEL_BIN_DIR) + "/sonavel-cli backgrounds " + args + " 2>/dev/null";
  std::string out;
  FILE* f = popen(cmd.c_str(), "r");
  if (!f) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  int status = pclose(f);
  *code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

const char kAmbix[] =
    "0\tAmbix.dll\t1\tNature: Night noises\t-\n"
    "1\tAmbix.dll\t2\tNature: Babbling brook\t-\n"
    "2\tAmbix.dll\t3\tNature: Heavy rain\t-\n"
    "3\tAmbix.dll\t4\tAnimals: Seagulls\t-\n"
    "4\tAmbix.dll\t5\tNature: Roll of thunder (parametric)\tBackground Thunder Interval\n"
    "5\tAmbix.dll\t6\tAnimals: Mooing cow (parametric)\tBackground Cow Moo Interval\n";

TEST(CliBackgrounds, ListsTheLibrariesOfTheProgramsFolder) {
  int code = -1;
  EXPECT_EQ(Backgrounds("", &code), kAmbix);
  EXPECT_EQ(code, 0);
}

TEST(CliBackgrounds, ListsAnotherFolder) {
  fs::path dir = fs::path(::testing::TempDir()) / "cli_bg_libs";
  fs::remove_all(dir);
  fs::create_directories(dir / "dir.dll");
  int code = -1;
  EXPECT_EQ(Backgrounds("--libdir " + dir.string(), &code), "");
  EXPECT_EQ(code, 0);
  fs::copy_file(fs::path(SONAVEL_BIN_DIR) / "Ambix.dll", dir / "Ambix.dll");
  fs::copy_file(fs::path(SONAVEL_BIN_DIR) / "Ambix.dll", dir / "Copy.dll");
  std::string out = Backgrounds("--libdir " + dir.string(), &code);
  EXPECT_EQ(out.substr(0, sizeof kAmbix - 1), kAmbix);
  EXPECT_NE(out.find("11\tCopy.dll\t6\tAnimals: Mooing cow (parametric)\tBackground Cow Moo Interval\n"),
            std::string::npos);
  fs::remove_all(dir);
}

}  // namespace
