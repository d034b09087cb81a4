// Support for the desktop program's tests: a private home for each test
// program, a fresh preset store per test, the main window opened and ready,
// modal dialogs driven from a timer, and the fake wave device.
#pragma once
#include <QApplication>
#include <QDialog>
#include <QObject>
#include <QString>
#include <QTest>
#include <atomic>
#include <functional>
#include <string>

#include "mwnd/MainWindow.h"
#include "platform/clock.h"
#include "platform/wavedev.h"
#include "prgdlg/PresetOptionsDialog.h"

namespace gui {

// The folder every test of this program writes into (HOME points here).
QString TempRoot();
// A new empty folder under TempRoot().
QString NewFolder(const QString& name);
// Uses a new store folder (created from the built-in presets when loaded)
// and resets the settings to their defaults.
QString FreshStore();

// The file ALSA's file plugin writes for the device "sonavel_capture". The
// first call writes the private home's .asoundrc that names it: ALSA reads
// its configuration once a process, so every class of the run shares it.
QString AlsaCaptureFile();

// Opens the main window and waits until its list is filled.
MainWindow* OpenMainWindow(const StartRequest& start = StartRequest());
// Closes and deletes it (stopping playback first).
void CloseMainWindow(MainWindow*& w);

// Runs `action` on the modal dialog that the next call opens, as soon as it
// shows (a dialog of class T, found as the active modal widget).
void OnModal(std::function<void(QWidget* dialog)> action);
template <class T>
void OnDialog(std::function<void(T* dialog)> action) {
  OnModal([action](QWidget* w) {
    T* d = qobject_cast<T*>(w);
    QVERIFY2(d, qPrintable(QStringLiteral("unexpected dialog %1").arg(w ? w->objectName() : "none")));
    action(d);
  });
}

// Opens the preset options dialog through `command` (Preset Options,
// New...) and runs `f` in it once it is active; a dialog `f` leaves open is
// cancelled. False when the dialog did not open.
bool InPresetOptions(QAction* command, std::function<void(PresetOptionsDialog*)> f);

// Internal errors seen since the last call (tests that expect none check
// that the list is empty).
QStringList TakeCheckFailures();

// The fake device used by the main window while a test keeps it.
struct FakeDevice {
  explicit FakeDevice(const plat::FakeWaveConfig& config = plat::FakeWaveConfig());
  ~FakeDevice();
  plat::FakeWave* Fake;
  plat::WaveTarget Target;
};

// A clock that moves only when the test moves it, for the playback's
// elapsed time: a minute of playback takes no minute to test. Installed for
// its lifetime; create it before the playback starts.
struct FakeClock {
  std::atomic<int64_t> Now{1000000};
  plat::ClockHooks Hooks{this, [](void* c) { return static_cast<FakeClock*>(c)->Now.load(); },
                         [](void* c, int ms) { static_cast<FakeClock*>(c)->Now += ms; }};
  FakeClock() { plat::SetClock(&Hooks); }
  ~FakeClock() { plat::SetClock(nullptr); }
};

// Counts the allocations the audio thread makes while the watch lives
// (audioalloc.cpp). It marks the thread through the audio thread's message
// hook, so nothing else may use that hook meanwhile.
class AudioAllocationWatch {
 public:
  AudioAllocationWatch();
  ~AudioAllocationWatch();
  int count() const;
};

// Test classes register themselves under a name given on the command line.
void RegisterTest(const char* name, QObject* (*make)());
#define GUI_TEST(Class) \
  static const bool Class##_registered = (gui::RegisterTest(#Class, [] { return (QObject*)new Class; }), true)

}  // namespace gui
