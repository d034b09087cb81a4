// The settings in the user's configuration: QSettings in its native form,
// $XDG_CONFIG_HOME/Kelvadi/Sonavel.conf, group "3" with the sub-groups
// "3/Windows" and "3/Advanced" (settings.h lists every value).
//
// Main thread only.
#pragma once
#include <QSettings>
#include <memory>
#include <string>

#include "reg/settings.h"

// The program's settings file.
std::unique_ptr<QSettings> OpenSettingsStore();

// Fills `s` from the store over its defaults: a value that is missing or
// cannot be read keeps its default (UseDirectDraw's default asks
// `directDraw`, only when the value is missing). Nothing is shown on failure.
void LoadSettings(Settings& s, QSettings& store, bool (*directDraw)());
// Writes every value; "SelectedPreset" only when `selected` is given. true
// when the store took them (a failure is not shown).
bool SaveSettings(const Settings& s, const std::string* selected, QSettings& store);
