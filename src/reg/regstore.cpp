// Reading and writing the settings through QSettings.
#include "reg/regstore.h"

#include <QByteArray>
#include <cstring>

namespace {

// The main key, as groups of the settings file.
const char* const kMain = "3";
const char* const kWindows = "3/Windows";
const char* const kAdvanced = "3/Advanced";
const char* const kListening = "Listening";

constexpr struct {
  const char* Name;
  int32_t ListeningSettings::*Field;
} kListeningNames[] = {
    {"SleepTimer", &ListeningSettings::SleepTimer},
    {"SleepMinutes", &ListeningSettings::SleepMinutes},
    {"SleepFadeSeconds", &ListeningSettings::SleepFadeSeconds},
    {"SoftStartStop", &ListeningSettings::SoftStartStop},
    {"KeepAwake", &ListeningSettings::KeepAwake},
};

void ReadInt(QSettings& st, const char* name, int32_t* v) {
  QVariant x = st.value(name);
  if (!x.isValid()) return;
  bool ok = false;
  // Text as the file holds it, so 2147483648 and "12abc" are unreadable
  // rather than wrapped or cut.
  int32_t n = x.toString().trimmed().toInt(&ok);
  if (ok) *v = n;
}

void ReadBytes(QSettings& st, const char* name, void* dest, size_t size) {
  QVariant x = st.value(name);
  if (!x.isValid() || x.typeId() != QMetaType::QByteArray) return;
  QByteArray b = x.toByteArray();
  if (static_cast<size_t>(b.size()) != size) return;
  std::memcpy(dest, b.constData(), size);
}

// The records are kept in memory in the little-endian order of the file.
QByteArray Bytes(const void* p, size_t size) { return QByteArray(static_cast<const char*>(p), qsizetype(size)); }

struct PlacementNames {
  const char *X, *Y, *W, *H;
};
constexpr PlacementNames kMainNames{"MainX", "MainY", "MainWidth", "MainHeight"};
constexpr PlacementNames kOptionsNames{"OptionsX", "OptionsY", "OptionsWidth", "OptionsHeight"};
constexpr PlacementNames kModulationNames{"ModulationX", "ModulationY", "ModulationWidth", "ModulationHeight"};

// The advanced options in their record order.
struct AdvancedName {
  const char* Name;
  int32_t AdvancedOptions::*Field;
};
constexpr AdvancedName kAdvancedNames[] = {
    {"MemoryBlocks", &AdvancedOptions::MemoryBlocks},
    {"LenOfBlocks", &AdvancedOptions::LenOfBlocks},
    {"SamplesPerSec", &AdvancedOptions::SamplesPerSec},
    {"Bits16", &AdvancedOptions::Bits16},
    {"UseDirectDraw", &AdvancedOptions::UseDirectDraw},
    {"InvertSound", &AdvancedOptions::InvertSound},
    {"ImmediatePause", &AdvancedOptions::ImmediatePause},
    {"ThreadTimeCritical", &AdvancedOptions::ThreadTimeCritical},
    {"RunConfigWizard", &AdvancedOptions::RunConfigWizard},
    {"AudioStrobeZeroLevel", &AdvancedOptions::AudioStrobeZeroLevel},
    {"AudioStrobeMaxLevel", &AdvancedOptions::AudioStrobeMaxLevel},
    {"DecommitThreshold", &AdvancedOptions::DecommitThreshold},
    {"ConfirmCancelInPresetOptions", &AdvancedOptions::ConfirmCancelInPresetOptions},
    {"LinkAdjacentSegmentsInPresetOptions", &AdvancedOptions::LinkAdjacentSegmentsInPresetOptions},
    {"PlayDelayTime", &AdvancedOptions::PlayDelayTime},
    {"HasAudioStrobe", &AdvancedOptions::HasAudioStrobe},
    {"NodesInNewParam", &AdvancedOptions::NodesInNewParam},
    {"AudioStrobeWaveform", &AdvancedOptions::AudioStrobeWaveform},
    {"AudioStrobeDutyCycle", &AdvancedOptions::AudioStrobeDutyCycle},
};
static_assert(std::size(kAdvancedNames) == sizeof(AdvancedOptions) / 4);

struct FlagName {
  const char* Name;
  int32_t Settings::*Field;
};
constexpr FlagName kFlags[] = {
    {"ShowParams", &Settings::ShowParams},
    {"DoNotShowVolumeZeroWarning", &Settings::DoNotShowVolumeZeroWarning},
    {"DoNotShowOptionsWhilePlaying", &Settings::DoNotShowOptionsWhilePlaying},
    {"DoNotShowPitchRight", &Settings::DoNotShowPitchRight},
    {"DoNotShowGlobalVisOptWarning", &Settings::DoNotShowGlobalVisOptWarning},
    {"DoNotShowSegEndZeroWarning", &Settings::DoNotShowSegEndZeroWarning},
    {"DoNotShowVisualLeftRightWarning", &Settings::DoNotShowVisualLeftRightWarning},
    {"DoNotShowFlashingWarning", &Settings::DoNotShowFlashingWarning},
};

void ReadPlacement(QSettings& st, const PlacementNames& n, Placement* p) {
  ReadInt(st, n.X, &p->X);
  ReadInt(st, n.Y, &p->Y);
  ReadInt(st, n.W, &p->Width);
  ReadInt(st, n.H, &p->Height);
}

void WritePlacement(QSettings& st, const PlacementNames& n, const Placement& p) {
  st.setValue(n.X, p.X);
  st.setValue(n.Y, p.Y);
  st.setValue(n.W, p.Width);
  st.setValue(n.H, p.Height);
}

}  // namespace

std::unique_ptr<QSettings> OpenSettingsStore() {
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, "Kelvadi", "Sonavel");
}

void LoadSettings(Settings& s, QSettings& st, bool (*directDraw)()) {
  st.beginGroup(kMain);
  QVariant name = st.value("SelectedPreset");
  if (name.isValid() && name.typeId() != QMetaType::QByteArray) {
    QByteArray utf8 = name.toString().toUtf8();
    if (static_cast<size_t>(utf8.size()) <= SELECTEDPRESET_MAX) s.SelectedPreset = utf8.toStdString();
  }
  for (const FlagName& f : kFlags) ReadInt(st, f.Name, &(s.*f.Field));
  ReadInt(st, "VisualOutput", &s.VisualOutput);
  ReadInt(st, "SetBuiltIns", &s.SetBuiltIns);
  ReadBytes(st, "VisualOptions", &s.VisualOptions, sizeof s.VisualOptions);
  st.endGroup();

  st.beginGroup(kWindows);
  ReadPlacement(st, kMainNames, &s.Main);
  ReadPlacement(st, kOptionsNames, &s.Options);
  ReadPlacement(st, kModulationNames, &s.Modulation);
  st.endGroup();

  st.beginGroup(kAdvanced);
  // UseDirectDraw's default depends on what the machine offers, and is only
  // asked for when the file does not say.
  if (!st.contains("UseDirectDraw")) s.Advanced.UseDirectDraw = directDraw && directDraw() ? 1 : 0;
  for (const AdvancedName& a : kAdvancedNames) ReadInt(st, a.Name, &(s.Advanced.*a.Field));
  ReadBytes(st, "CustColorTable", s.CustColorTable, sizeof s.CustColorTable);
  QVariant dev = st.value("Device");
  if (dev.isValid() && dev.typeId() != QMetaType::QByteArray && !dev.toString().isEmpty())
    s.Device = dev.toString().toStdString();
  QVariant server = st.value("ReportServer");
  if (server.isValid() && server.typeId() != QMetaType::QByteArray && !server.toString().isEmpty())
    s.ReportServer = server.toString().toStdString();
  ReadInt(st, "ReportPort", &s.ReportPort);
  st.endGroup();

  st.beginGroup(kListening);
  for (const auto& l : kListeningNames) ReadInt(st, l.Name, &(s.Listening.*l.Field));
  st.endGroup();
}

bool SaveSettings(const Settings& s, const std::string* selected, QSettings& st) {
  st.beginGroup(kMain);
  if (selected) st.setValue("SelectedPreset", QString::fromUtf8(selected->c_str()));
  for (const FlagName& f : kFlags) st.setValue(f.Name, s.*f.Field);
  st.setValue("VisualOutput", s.VisualOutput);
  st.setValue("VisualOptions", Bytes(&s.VisualOptions, sizeof s.VisualOptions));
  st.endGroup();

  st.beginGroup(kWindows);
  WritePlacement(st, kMainNames, s.Main);
  WritePlacement(st, kOptionsNames, s.Options);
  WritePlacement(st, kModulationNames, s.Modulation);
  st.endGroup();

  st.beginGroup(kAdvanced);
  for (const AdvancedName& a : kAdvancedNames) st.setValue(a.Name, s.Advanced.*a.Field);
  st.setValue("CustColorTable", Bytes(s.CustColorTable, sizeof s.CustColorTable));
  st.setValue("Device", QString::fromStdString(s.Device));
  st.setValue("ReportServer", QString::fromStdString(s.ReportServer));
  st.setValue("ReportPort", s.ReportPort);
  st.endGroup();

  st.beginGroup(kListening);
  for (const auto& l : kListeningNames) st.setValue(l.Name, s.Listening.*l.Field);
  st.endGroup();
  st.sync();
  return st.status() == QSettings::NoError;
}
