#include "sessionbus/MediaPlayer.h"

#include <unistd.h>

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QTimer>

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

MediaPlayer::MediaPlayer(PlayerControl* control, const QDBusConnection& bus, QObject* parent)
    : QObject(parent), Control(control), Bus(bus) {
  Shown = Control->playerState();
  if (!Bus.isConnected()) {
    NoteOnce(QStringLiteral("no session bus: media keys, desktop controls and keeping the screen on are off"));
    return;
  }
  new RootAdaptor(this);
  new PlayerAdaptor(this);
  if (!Bus.registerObject(kPath, this, QDBusConnection::ExportAdaptors)) {
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
  if (Service.isEmpty()) return;
  Bus.unregisterService(Service);
  Bus.unregisterObject(kPath);
}

void MediaPlayer::stateChanged() {
  PlayerState now = Control->playerState();
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
  QDBusMessage signal =
      QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
  signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
  Bus.send(signal);
}

void MediaPlayer::queue(PlayerControl::Command c) {
  if (Count == QUEUE) return;  // a flood: the rest is dropped
  Pending[(First + Count++) % QUEUE] = c;
  if (Scheduled) return;
  Scheduled = true;
  QTimer::singleShot(0, this, &MediaPlayer::runQueued);
}

void MediaPlayer::runQueued() {
  Scheduled = false;
  // A command may run a loop of its own (a start's calculation pumps
  // events): what comes meanwhile waits for it.
  if (Running || Count == 0) return;
  PlayerControl::Command c = Pending[First];
  First = (First + 1) % QUEUE;
  Count--;
  Running = true;
  Control->playerCommand(c);
  Running = false;
  stateChanged();
  if (Count > 0 && !Scheduled) {
    Scheduled = true;
    QTimer::singleShot(0, this, &MediaPlayer::runQueued);
  }
}

// --- The interfaces ---------------------------------------------------------------

RootAdaptor::RootAdaptor(MediaPlayer* player) : QDBusAbstractAdaptor(player), Player(player) {}
void RootAdaptor::Raise() { Player->queue(PlayerControl::Raise); }
void RootAdaptor::Quit() { Player->queue(PlayerControl::Quit); }

PlayerAdaptor::PlayerAdaptor(MediaPlayer* player) : QDBusAbstractAdaptor(player), Player(player) {}
QString PlayerAdaptor::playbackStatus() const { return PlaybackStatusText(Player->state().Playback); }
QVariantMap PlayerAdaptor::metadata() const { return MetadataOf(Player->state()); }
qlonglong PlayerAdaptor::position() const { return Player->positionUs(); }
bool PlayerAdaptor::canGoNext() const { return Player->state().CanGoNext; }
bool PlayerAdaptor::canGoPrevious() const { return Player->state().CanGoPrevious; }
bool PlayerAdaptor::canPlay() const { return Player->state().CanPlay; }
bool PlayerAdaptor::canPause() const { return Player->state().CanPause; }
void PlayerAdaptor::Next() { Player->queue(PlayerControl::Next); }
void PlayerAdaptor::Previous() { Player->queue(PlayerControl::Previous); }
void PlayerAdaptor::Pause() { Player->queue(PlayerControl::Pause); }
void PlayerAdaptor::PlayPause() { Player->queue(PlayerControl::PlayPause); }
void PlayerAdaptor::Stop() { Player->queue(PlayerControl::Stop); }
void PlayerAdaptor::Play() { Player->queue(PlayerControl::Play); }
void PlayerAdaptor::Seek(qlonglong) {}
void PlayerAdaptor::SetPosition(const QDBusObjectPath&, qlonglong) {}
void PlayerAdaptor::OpenUri(const QString&, const QDBusMessage& call) {
  call.setDelayedReply(true);
  Player->bus().send(call.createErrorReply(QDBusError::NotSupported, QStringLiteral("Sonavel plays its own presets only.")));
}
