// Desktop registration of the preset file type: who claims *.tvk, and what
// the program writes for the user when nobody does. Also the settings'
// round trip through a settings file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSettings>
#include <fstream>
#include <sstream>

#include "main/strtab.h"
#include "reg/filetype.h"
#include "reg/regstore.h"
#include "reg/settings.h"

namespace {

std::string NewDir(const char* name) {
  std::string d = ::testing::TempDir() + "ft_" + name + "_" + std::to_string(::getpid());
  ::mkdir(d.c_str(), 0755);
  return d;
}

void Write(const std::string& path, const std::string& text) {
  std::string dir = path.substr(0, path.rfind('/'));
  std::string cmd = "mkdir -p '" + dir + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::ofstream(path) << text;
}

std::string Read(const std::string& path) {
  std::ifstream f(path);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

TEST(FileType, AnotherProgramsAssociationIsLeftAlone) {
  std::string home = NewDir("other_home"), sys = NewDir("other_sys");
  Write(sys + "/mime/globs2", "50:text/plain:*.txt\n50:application/x-other:*.TVK\n");
  EXPECT_EQ(RegisterFileType("/opt/s/sonavel", "<svg/>", home, sys), FILETYPE_OTHER);
  EXPECT_FALSE(std::ifstream(home + "/applications/sonavel.desktop").good());
  EXPECT_FALSE(std::ifstream(home + "/mime/packages/sonavel.xml").good());
}

TEST(FileType, FreeTypeIsRegisteredOnceForTheUser) {
  std::string home = NewDir("free_home"), sys = NewDir("free_sys");
  Write(sys + "/mime/globs2", "50:text/plain:*.txt\n");
  std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  ::setenv("PATH", "/nonexistent", 1);  // no database update in the test
  EXPECT_EQ(RegisterFileType("/opt/my apps/sonavel", "<svg/>", home, sys), FILETYPE_FREE);
  ::setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(Read(home + "/mime/packages/sonavel.xml"), MimePackageText());
  std::string desktop = Read(home + "/applications/sonavel.desktop");
  EXPECT_NE(desktop.find("Exec=\"/opt/my apps/sonavel\" %f\n"), std::string::npos) << desktop;
  EXPECT_NE(desktop.find("MimeType=application/x-sonavel-preset;"), std::string::npos);
  EXPECT_EQ(Read(home + "/icons/hicolor/scalable/apps/sonavel.svg"), "<svg/>");
  // The package written makes the next start see the type as ours.
  EXPECT_EQ(RegisterFileType("/opt/my apps/sonavel", "<svg/>", home, sys), FILETYPE_OURS);
}

TEST(FileType, InstalledFilesMatchWhatTheProgramWrites) {
  EXPECT_EQ(Read(std::string(SONAVEL_SOURCE_DIR) + "/src/sonavel/sonavel.xml"), MimePackageText());
  EXPECT_EQ(Read(std::string(SONAVEL_SOURCE_DIR) + "/src/sonavel/sonavel.desktop"),
            DesktopEntryText("sonavel", "sonavel"));
}

TEST(Settings, FreshUserGetsTheDefaults) {
  std::string file = NewDir("fresh") + "/Sonavel.conf";
  QSettings st(QString::fromStdString(file), QSettings::IniFormat);
  Settings s;
  DefaultSettings(s, false);
  LoadSettings(s, st, [] { return true; });
  EXPECT_EQ(s.SelectedPreset, GetStr(1));
  EXPECT_EQ(s.ShowParams, 1);
  EXPECT_EQ(s.Main.X, CW_USEDEFAULT);
  EXPECT_EQ(s.Advanced.SamplesPerSec, 44100);
  EXPECT_EQ(s.Advanced.UseDirectDraw, 1);  // missing: what the machine offers
  EXPECT_EQ(s.VisualOptions.NumColors, 2);
  EXPECT_EQ(s.VisualOptions.Colors[0], 0x00FF0000u);
  EXPECT_EQ(s.CustColorTable[15], 0x80FF80u);
  EXPECT_EQ(s.Device, "default");
  EXPECT_EQ(s.Listening.SleepTimer, 0);
  EXPECT_EQ(s.Listening.SleepFadeSeconds, 60);
  EXPECT_EQ(s.Listening.KeepAwake, 1);
}

TEST(Settings, WrittenValuesReadBack) {
  std::string file = NewDir("round") + "/Sonavel.conf";
  Settings a;
  DefaultSettings(a, false);
  a.ShowParams = 0;
  a.VisualOutput = 11;
  a.DoNotShowPitchRight = 1;
  a.Main = {10, 20, 700, 300};
  a.Advanced.LenOfBlocks = 123;
  a.Advanced.AudioStrobeWaveform = ASWAVE_STEEP;
  a.Advanced.UseDirectDraw = 0;
  a.VisualOptions.NumColors = 3;
  a.VisualOptions.Colors[2] = 0x123456;
  a.CustColorTable[3] = 0xABCDEF;
  a.Device = "plughw:1";
  a.Listening = {2, 45, 90, 0, 0};
  std::string name = "My preset";
  {
    QSettings st(QString::fromStdString(file), QSettings::IniFormat);
    EXPECT_TRUE(SaveSettings(a, &name, st));
  }
  QSettings st(QString::fromStdString(file), QSettings::IniFormat);
  Settings b;
  DefaultSettings(b, true);
  LoadSettings(b, st, [] { return true; });
  EXPECT_EQ(b.SelectedPreset, name);
  EXPECT_EQ(b.ShowParams, 0);
  EXPECT_EQ(b.VisualOutput, 11);
  EXPECT_EQ(b.DoNotShowPitchRight, 1);
  EXPECT_EQ(b.Main.Width, 700);
  EXPECT_EQ(b.Advanced.LenOfBlocks, 123);
  EXPECT_EQ(b.Advanced.AudioStrobeWaveform, ASWAVE_STEEP);
  EXPECT_EQ(b.Advanced.UseDirectDraw, 0);  // an explicit 0 wins over the machine
  EXPECT_EQ(b.VisualOptions.Colors[2], 0x123456u);
  EXPECT_EQ(b.CustColorTable[3], 0xABCDEFu);
  EXPECT_EQ(b.Device, "plughw:1");
  EXPECT_EQ(b.Listening.SleepTimer, 2);
  EXPECT_EQ(b.Listening.SleepMinutes, 45);
  EXPECT_EQ(b.Listening.SleepFadeSeconds, 90);
  EXPECT_EQ(b.Listening.SoftStartStop, 0);
  EXPECT_EQ(b.Listening.KeepAwake, 0);
  // A group of its own, beside the original ones.
  EXPECT_NE(Read(file).find("[Listening]\nKeepAwake=0\n"), std::string::npos);
}

TEST(Settings, UnreadableValuesKeepTheirDefaultsAndNoRangeIsChecked) {
  std::string file = NewDir("garbage") + "/Sonavel.conf";
  Write(file,
        "[3]\nShowParams=abc\nVisualOutput=-7\nVisualOptions=short\nAdvanced\\MemoryBlocks=99999999999\n"
        "Advanced\\LenOfBlocks=0\nAdvanced\\SamplesPerSec=12x\nAdvanced\\CustColorTable=@ByteArray(ab)\n");
  QSettings st(QString::fromStdString(file), QSettings::IniFormat);
  Settings s;
  DefaultSettings(s, false);
  LoadSettings(s, st, nullptr);
  EXPECT_EQ(s.ShowParams, 1);
  EXPECT_EQ(s.VisualOutput, -7);  // read as it is
  EXPECT_EQ(s.VisualOptions.NumColors, 2);
  EXPECT_EQ(s.Advanced.MemoryBlocks, 4);  // beyond 32 bits: unreadable
  EXPECT_EQ(s.Advanced.LenOfBlocks, 0);
  EXPECT_EQ(s.Advanced.SamplesPerSec, 44100);
  EXPECT_EQ(s.CustColorTable[0], 0x800000u);
}

TEST(Settings, SelectedPresetIsWrittenOnlyWhenGiven) {
  std::string file = NewDir("selected") + "/Sonavel.conf";
  Settings a;
  DefaultSettings(a, false);
  std::string first = "First";
  {
    QSettings st(QString::fromStdString(file), QSettings::IniFormat);
    SaveSettings(a, &first, st);
    SaveSettings(a, nullptr, st);
  }
  QSettings st(QString::fromStdString(file), QSettings::IniFormat);
  Settings b;
  DefaultSettings(b, false);
  LoadSettings(b, st, nullptr);
  EXPECT_EQ(b.SelectedPreset, "First");
}

}  // namespace
