#include "sessionbus/KeepAwake.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include "sessionbus/note.h"

namespace {

const QString kWhy = QStringLiteral("Sonavel is playing");
// The portal's flags: 4 suspend, 8 idle (screen saver and blanking).
constexpr uint kPortalFlags = 4 | 8;

QDBusMessage PortalInhibit() {
  QDBusMessage m = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
      QStringLiteral("org.freedesktop.portal.Inhibit"), QStringLiteral("Inhibit"));
  m << QString() << kPortalFlags << QVariantMap{{QStringLiteral("reason"), kWhy}};
  return m;
}

QDBusMessage PortalClose(const QString& request) {
  return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"), request,
                                        QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Close"));
}

QDBusMessage ScreenSaver(const QString& method) {
  return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"),
                                        QStringLiteral("/org/freedesktop/ScreenSaver"),
                                        QStringLiteral("org.freedesktop.ScreenSaver"), method);
}

QDBusMessage LogindInhibit() {
  QDBusMessage m = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
      QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
  m << QStringLiteral("idle:sleep") << QStringLiteral("Sonavel") << kWhy << QStringLiteral("block");
  return m;
}

}  // namespace

KeepAwake::KeepAwake(const QDBusConnection& session, const QDBusConnection& system, QObject* parent)
    : QObject(parent), Session(session), System(system) {}

KeepAwake::~KeepAwake() { release(); }

int KeepAwake::held() const {
  return (PortalRequest.isEmpty() ? 0 : PORTAL) | (HasCookie ? SCREENSAVER : 0) | (LogindFd.isValid() ? LOGIND : 0);
}

void KeepAwake::setWanted(bool wanted) {
  if (wanted == Wanted) return;
  Wanted = wanted;
  Generation++;
  if (wanted)
    acquire();
  else
    release();
}

void KeepAwake::track(QDBusPendingCallWatcher* w) {
  Calls++;
  connect(w, &QDBusPendingCallWatcher::finished, this, [this, w] {
    Calls--;
    w->deleteLater();
  });
}

void KeepAwake::acquire() {
  const int gen = Generation;
  if (!Session.isConnected()) {
    tryFallback(gen);
    return;
  }
  auto* w = new QDBusPendingCallWatcher(Session.asyncCall(PortalInhibit()), this);
  connect(w, &QDBusPendingCallWatcher::finished, this, [this, w, gen] {
    QDBusPendingReply<QDBusObjectPath> r = *w;
    if (r.isError()) {
      // No portal (or none that inhibits): the older services.
      if (gen == Generation) tryFallback(gen);
      return;
    }
    QString request = r.value().path();
    if (gen != Generation || !Wanted) {
      Session.asyncCall(PortalClose(request));
      return;
    }
    PortalRequest = request;
    emit heldChanged();
  });
  track(w);
}

void KeepAwake::tryFallback(int gen) {
  FallbackAnswers = 0;
  auto answered = [this, gen](bool took) {
    if (gen != Generation) return;
    if (took) emit heldChanged();
    if (++FallbackAnswers == 2 && held() == NONE)
      NoteOnce(QStringLiteral("neither the desktop portal, the screen saver nor logind can keep the screen on"));
  };
  if (Session.isConnected()) {
    QDBusMessage m = ScreenSaver(QStringLiteral("Inhibit"));
    m << QStringLiteral("Sonavel") << kWhy;
    auto* w = new QDBusPendingCallWatcher(Session.asyncCall(m), this);
    connect(w, &QDBusPendingCallWatcher::finished, this, [this, w, gen, answered] {
      QDBusPendingReply<uint> r = *w;
      bool took = false;
      if (!r.isError()) {
        if (gen != Generation || !Wanted) {
          Session.asyncCall(ScreenSaver(QStringLiteral("UnInhibit")) << r.value());
        } else {
          Cookie = r.value();
          HasCookie = took = true;
        }
      }
      answered(took);
    });
    track(w);
  } else {
    answered(false);
  }
  if (System.isConnected()) {
    auto* w = new QDBusPendingCallWatcher(System.asyncCall(LogindInhibit()), this);
    connect(w, &QDBusPendingCallWatcher::finished, this, [this, w, gen, answered] {
      QDBusPendingReply<QDBusUnixFileDescriptor> r = *w;
      bool took = false;
      // A late answer's descriptor is closed with the reply.
      if (!r.isError() && gen == Generation && Wanted) {
        LogindFd = r.value();
        took = LogindFd.isValid();
      }
      answered(took);
    });
    track(w);
  } else {
    answered(false);
  }
}

void KeepAwake::release() {
  bool had = held() != NONE;
  if (!PortalRequest.isEmpty()) Session.asyncCall(PortalClose(PortalRequest));
  if (HasCookie) Session.asyncCall(ScreenSaver(QStringLiteral("UnInhibit")) << Cookie);
  PortalRequest.clear();
  HasCookie = false;
  LogindFd = QDBusUnixFileDescriptor();
  if (had) emit heldChanged();
}
