// Defaults of the settings record.
#include "reg/settings.h"

#include <cstring>

#include "main/strtab.h"

Settings Cfg;

void DefaultSettings(Settings& s, bool directDraw) {
  s = Settings{};
  s.SelectedPreset = GetStr(1);
  std::memset(&s.VisualOptions, 0, sizeof s.VisualOptions);
  s.VisualOptions.NumColors = 2;
  s.VisualOptions.Colors[0] = 0x00FF0000;  // blue
  s.VisualOptions.Colors[1] = 0x0000FF00;  // green
  s.Advanced = AdvancedOptions{};
  s.Advanced.UseDirectDraw = directDraw ? 1 : 0;
  static constexpr uint32_t kCustColors[16] = {0x800000, 0x8000,   0x800080, 0xFF,     0x80FF,   0xFF00FF,
                                               0x8080FF, 0xFFFF00, 0x80,     0x808000, 0xFF0000, 0xFF8080,
                                               0xFF00,   0xFFFF,   0xFF80FF, 0x80FF80};
  std::memcpy(s.CustColorTable, kCustColors, sizeof kCustColors);
}
