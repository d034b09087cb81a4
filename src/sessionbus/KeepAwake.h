// Keeps the screen on and the computer awake while something plays: the
// desktop portal's Inhibit (idle and suspend) where there is one, else the
// screen saver's Inhibit on the session bus together with logind's Inhibit
// ("idle:sleep") on the system bus.
//
// Every request is asynchronous, so a slow or hung service never holds the
// window up; an answer that comes after the wish has changed is given back
// at once. What is held is released by the program (setWanted(false)) or
// by the end of the process: the services drop an inhibition when its
// connection closes, and logind's is a file descriptor the kernel closes.
// When neither way exists one line is written (note.h), nothing is shown.
//
// Main thread only.
#pragma once
#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>

class QDBusPendingCallWatcher;

class KeepAwake : public QObject {
  Q_OBJECT
 public:
  KeepAwake(const QDBusConnection& session, const QDBusConnection& system, QObject* parent = nullptr);
  ~KeepAwake() override;

  // Held while wanted. Repeating the same wish does nothing.
  void setWanted(bool wanted);
  bool wanted() const { return Wanted; }

  // What holds now: the portal's request, or the screen saver's cookie
  // and/or logind's descriptor.
  enum Holder { NONE = 0, PORTAL = 1, SCREENSAVER = 2, LOGIND = 4 };
  int held() const;
  // An asking or a giving back is under way (tests wait for it to end).
  bool busy() const { return Calls > 0; }

 signals:
  void heldChanged();

 private:
  void acquire();
  void tryFallback(int generation);
  void release();
  // A finished call; `take` keeps what it brought when still wanted.
  void track(QDBusPendingCallWatcher* w);

  QDBusConnection Session, System;
  bool Wanted = false;
  int Generation = 0;  // bumped by every wish, so late answers are known
  int Calls = 0;
  int FallbackAnswers = 0;
  QString PortalRequest;
  uint Cookie = 0;
  bool HasCookie = false;
  QDBusUnixFileDescriptor LogindFd;
};
