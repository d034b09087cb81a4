// The internal error report of the desktop program: every failed check of
// every module (the GUI's own included) adds a debug record and opens the
// dialog "Internal error was detected" on the GUI thread.
//
// A check that fails on another thread (the audio thread, the flashing
// thread) records at once, without the preset images (the serialiser's
// buffer belongs to the GUI thread), and the dialog is posted to the GUI
// thread while the failing thread goes on. The guard is atomic: checks that
// fail while a report is pending or shown, on any thread, are ignored.
//
// InstallErrorReport and ShowPendingCrashReport: main thread only; the
// reporter itself: any thread.
#pragma once
#include <QString>

class QWidget;

// Makes the report the check's reporter and the debug records' source of
// state; `owner` is the dialog's owner, `exitProgram` ends the program with
// the code given (2) when the user chooses Exit Program.
void InstallErrorReport(QWidget* owner, void (*exitProgram)(QWidget* owner, int code));
// Restores the previous reporter.
void UninstallErrorReport();

// Shows the dialog for records already kept: a crash of the last run, ended
// by `signal` (0: an uncaught exception), which the dialog names in words.
void ShowErrorReport(const QString& summary, int signal);

// Whether a report is pending or shown.
bool ErrorReportActive();
