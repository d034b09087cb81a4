#include "sessionbus/MediaPlayer.h"

#include <unistd.h>

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QMutexLocker>
#include <QTimer>
#include <chrono>

#include "sessionbus/Adaptors.h"
#include "sessionbus/note.h"

namespace {

const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kName = QStringLiteral("org.mpris.MediaPlayer2.sonavel");

// Each property of the player interface that a state change can change.
struct Changed {
  const char* Name;
  QVariant (*Value)(const PlayerState&);
};
const Changed kChanged[] = {
    {"PlaybackStatus", [](const PlayerState& s) { return QVariant(PlaybackStatusText(s.Playback)); }},
    {"Metadata", [](const PlayerState& s) { return QVariant(MetadataOf(s)); }},
    {"CanPlay", [](const PlayerState& s) { return QVariant(s.CanPlay); }},
    {"CanPause", [](const PlayerState& s) { return QVariant(s.CanPause); }},
    {"CanGoNext", [](const PlayerState& s) { return QVariant(s.CanGoNext); }},
    {"CanGoPrevious", [](const PlayerState& s) { return QVariant(s.CanGoPrevious); }},
};

qint64 NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

QString TrackPath(int index) {
  return index < 0 ? QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack")
                   : QStringLiteral("/org/sonavel/Preset/%1").arg(index);
}

QString PlaybackStatusText(int status) {
  return status == PlayerState::Playing  ? QStringLiteral("Playing")
         : status == PlayerState::Paused ? QStringLiteral("Paused")
                                         : QStringLiteral("Stopped");
}

QVariantMap MetadataOf(const PlayerState& s) {
  QVariantMap m;
  m.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(TrackPath(s.Track))));
  if (s.Track < 0) return m;
  m.insert(QStringLiteral("xesam:title"), s.Title);
  m.insert(QStringLiteral("mpris:length"), s.LengthUs);
  if (!s.Comment.isEmpty()) m.insert(QStringLiteral("xesam:comment"), QStringList{s.Comment});
  return m;
}

// --- The window's side ----------------------------------------------------------

MediaPlayer::MediaPlayer(PlayerControl* control, const QDBusConnection& bus, QObject* parent)
    : QObject(parent), Control(control), Bus(bus) {
  Shown = Control->playerState();
  if (!Bus.isConnected()) {
    NoteOnce(QStringLiteral("no session bus: media keys, desktop controls and keeping the screen on are off"));
    return;
  }
  Answers = new MediaService(Bus);
  Answers->Wake = this;
  Answers->setState(Shown, Control->playerPositionUs());
  new RootAdaptor(Answers);
  new PlayerAdaptor(Answers);
  Answers->moveToThread(&Thread);
  Thread.setObjectName(QStringLiteral("media player"));
  Thread.start();
  if (!Bus.registerObject(kPath, Answers, QDBusConnection::ExportAdaptors)) {
    NoteOnce(QStringLiteral("the media player object could not be registered on the session bus"));
    return;
  }
  // A second instance takes a name of its own, as the interface asks.
  for (const QString& name : {kName, kName + QStringLiteral(".instance%1").arg(::getpid())}) {
    auto reply = Bus.interface()->registerService(name, QDBusConnectionInterface::DontQueueService,
                                                  QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
      Service = name;
      return;
    }
  }
  Bus.unregisterObject(kPath);
  NoteOnce(QStringLiteral("no media player name could be had on the session bus"));
}

MediaPlayer::~MediaPlayer() {
  if (!Service.isEmpty()) Bus.unregisterService(Service);
  if (!Answers) return;
  Bus.unregisterObject(kPath);
  Thread.quit();
  Thread.wait();
  delete Answers;
}

void MediaPlayer::stateChanged() {
  PlayerState now = Control->playerState();
  if (Answers) Answers->setState(now, Control->playerPositionUs());
  if (now == Shown) return;
  PlayerState was = Shown;
  Shown = now;
  if (Service.isEmpty()) return;
  QVariantMap changed;
  for (const Changed& c : kChanged) {
    QVariant v = c.Value(now);
    if (v != c.Value(was)) changed.insert(QString::fromLatin1(c.Name), v);
  }
  if (changed.isEmpty()) return;
  QDBusMessage signal = QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                   QStringLiteral("PropertiesChanged"));
  signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
  Bus.send(signal);
}

void MediaPlayer::runQueued() {
  Waiting = false;
  // A command may run a loop of its own (a start's calculation pumps
  // events): what comes meanwhile waits for it.
  if (Running || !Answers) return;
  PlayerControl::Command c;
  if (!Answers->takeCommand(&c)) return;
  Running = true;
  Control->playerCommand(c);
  Running = false;
  stateChanged();
  // The next one, if any, after a pause.
  Waiting = true;
  QTimer::singleShot(COMMAND_SPACING_MS, this, &MediaPlayer::runQueued);
}

// --- The answers' side ------------------------------------------------------------

MediaService::MediaService(const QDBusConnection& bus) : Bus(bus) {}

void MediaService::setState(const PlayerState& s, qint64 positionUs) {
  QVariantMap m = MetadataOf(s);
  QMutexLocker g(&Lock);
  State = s;
  Metadata = std::move(m);
  PositionUs = positionUs;
  PositionAtMs = NowMs();
}

PlayerState MediaService::state() const {
  QMutexLocker g(&Lock);
  return State;
}

QVariantMap MediaService::metadata() const {
  QMutexLocker g(&Lock);
  return Metadata;
}

qint64 MediaService::positionUs() const {
  QMutexLocker g(&Lock);
  // The window's time runs on while it plays, frozen or not.
  return State.Playback == PlayerState::Stopped ? PositionUs : PositionUs + (NowMs() - PositionAtMs) * 1000;
}

void MediaService::queue(PlayerControl::Command c) {
  bool wake = false;
  {
    QMutexLocker g(&Lock);
    if (Count == QUEUE) return;  // a flood: the rest is dropped
    Pending[(First + Count++) % QUEUE] = c;
    wake = Count == 1;
  }
  if (wake && Wake) QMetaObject::invokeMethod(Wake, "wake", Qt::QueuedConnection);
}

bool MediaService::takeCommand(PlayerControl::Command* c) {
  QMutexLocker g(&Lock);
  if (Count == 0) return false;
  *c = Pending[First];
  First = (First + 1) % QUEUE;
  Count--;
  return true;
}

RootAdaptor::RootAdaptor(MediaService* service) : QDBusAbstractAdaptor(service), Service(service) {}
void RootAdaptor::Raise() { Service->queue(PlayerControl::Raise); }
void RootAdaptor::Quit() { Service->queue(PlayerControl::Quit); }

PlayerAdaptor::PlayerAdaptor(MediaService* service) : QDBusAbstractAdaptor(service), Service(service) {}
QString PlayerAdaptor::playbackStatus() const { return PlaybackStatusText(Service->state().Playback); }
void PlayerAdaptor::Next() { Service->queue(PlayerControl::Next); }
void PlayerAdaptor::Previous() { Service->queue(PlayerControl::Previous); }
void PlayerAdaptor::Pause() { Service->queue(PlayerControl::Pause); }
void PlayerAdaptor::PlayPause() { Service->queue(PlayerControl::PlayPause); }
void PlayerAdaptor::Stop() { Service->queue(PlayerControl::Stop); }
void PlayerAdaptor::Play() { Service->queue(PlayerControl::Play); }
void PlayerAdaptor::Seek(qlonglong) {}
void PlayerAdaptor::SetPosition(const QDBusObjectPath&, qlonglong) {}
void PlayerAdaptor::OpenUri(const QString&, const QDBusMessage& call) {
  call.setDelayedReply(true);
  Service->bus().send(
      call.createErrorReply(QDBusError::NotSupported, QStringLiteral("Sonavel plays its own presets only.")));
}
