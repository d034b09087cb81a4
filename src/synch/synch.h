// Synchronised starts of several instances: the leader asks every other
// participant to prepare its playback (device loaded and paused), and all of
// them restart their devices when the leader releases the go event.
//
// Participants are found through the per-user runtime folder of the
// single-instance layer (platform/instance.h): every instance listens on a
// socket named "TAVIK.<pid>", and a companion program on one whose name ends
// in "_TAVIK_Synch". A request is the 4-byte little-endian message number
// 1124; the answer is a 4-byte little-endian int32: 0 prepared and waiting, 1
// refused (already playing), anything else the participant's start failed.
//
// The go event "TAVIK_SynchGoEvent" is a file in the same folder. The leader
// names it only while it holds an exclusive lock on it; followers open it and
// wait for a shared lock, so the leader's one unlock releases them all. A
// leader that dies gives up its lock with its process, which releases its
// followers as well, and the next leader takes the file left behind over.
//
// Main thread of each process. Nothing here uses Qt: the main window hands
// its progress line and messages in through SynchUi.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr int MAXSYNCHPARTICIPANTS = 32;
constexpr int32_t WM_SYNCHPLAY = 1124;
// A follower's answer to 1124; anything else is the id of the message its
// failed start showed.
constexpr int32_t SYNCH_PREPARED = 0;
constexpr int32_t SYNCH_REFUSED = 1;

// SynchMode
constexpr int SYNCH_NONE = 0;
constexpr int SYNCH_FOLLOWER = 1;
constexpr int SYNCH_LEADER = 2;

struct SynchParticipant {
  std::string Path;           // its socket
  bool IsMainWindow = false;  // another instance (true) or a companion program
};

// This process's socket name ("TAVIK.<pid>").
std::string SynchSocketName(int pid);
// What a socket's file name marks: 1 another instance, 0 a companion, -1
// nothing of ours.
int SynchParticipantKind(const std::string& name);

// The participants in `folder` other than `ownPath`: live sockets of this
// user whose names mark them, sorted by name, at most 32. Sockets nobody
// listens on are skipped (an ended instance's is removed).
std::vector<SynchParticipant> FindSynchParticipants(const std::string& folder, const std::string& ownPath);

// --- The participant's side --------------------------------------------------
struct SynchServer {
  int ListenFd = -1;  // non-blocking; readable when a request may be waiting
  std::string Path;
  uint64_t Inode = 0;  // of the socket bound, so only that one is removed
};
// Listens on `folder`/SynchSocketName(getpid()). false when it cannot.
bool StartSynchServer(SynchServer& s, const std::string& folder);
void StopSynchServer(SynchServer& s);
// A request read without waiting for it: the window watches each connection
// on its own, so a neighbour that connects and sends nothing holds up nobody.
struct SynchPending {
  int Fd = -1;
  unsigned char Msg[4] = {};
  size_t Got = 0;
};
// Accepts one waiting connection of this user without waiting (other users'
// are closed on the way); false when none is waiting. The connection is
// non-blocking.
bool AcceptSynchConnection(SynchServer& s, SynchPending* p);
// Reads what has come of the request: 1 a complete request 1124 (p->Fd is
// then the caller's, for the answer), 0 more is to come, -1 a probe that
// closed, or anything else (the connection is closed).
int ReadSynchRequest(SynchPending* p);
// Takes the next waiting request, waiting up to 500 ms for each connection's
// message (probes and malformed requests are dropped on the way). false when
// none is waiting. For companion programs and tests; the window reads
// without waiting.
bool TakeSynchRequest(SynchServer& s, int* clientFd);
// Sends the answer and closes the connection; a leader that has gone is no
// error.
void AnswerSynchRequest(int clientFd, int32_t answer);

// --- The leader's side -------------------------------------------------------
// Sends 1124 to `p` and waits for its answer without a time-out, calling
// pump(ctx) every 20 ms meanwhile; pump returns true to give up waiting.
// The answer, or -1 when the participant went away or the wait was given up.
int SendSynchRequest(const SynchParticipant& p, bool (*pump)(void* ctx), void* ctx);

// --- The go event ------------------------------------------------------------
struct GoEvent {
  int Fd = -1;
};
enum GoCreate { GO_CREATED, GO_EXISTS, GO_FAILED };
// The leader: names the event, locked. GO_EXISTS while another leader holds
// one (or its followers are just waking).
GoCreate CreateGoEvent(const std::string& folder, GoEvent* ev);
// The leader: removes the name, then releases every waiting follower; closes.
void SignalGoEvent(const std::string& folder, GoEvent* ev);
// A follower: opens the leader's event. false when there is none.
bool OpenGoEvent(const std::string& folder, GoEvent* ev);
// How long a follower waits for its leader's signal: a leader that never
// gives it must not hold the follower for ever.
constexpr int GO_EVENT_WAIT_MS = 30000;
// A follower: waits until the leader signals (or ends), at most timeoutMs,
// or until stop(ctx) says to give up (asked every 50 ms); then closes the
// event. false when it gave up.
bool WaitGoEvent(GoEvent* ev, int timeoutMs = GO_EVENT_WAIT_MS, bool (*stop)(void* ctx) = nullptr, void* ctx = nullptr);
void CloseGoEvent(GoEvent* ev);

// --- The two synchronisation points of a playback start ---------------------
struct SynchUi {
  void* Ctx = nullptr;
  // The progress line with caption string 88 "Synchronizing", range 0..max.
  void (*ShowProgress)(void* ctx, int captionId, int max) = nullptr;
  // Sets the position and processes pending events; true when the user asked
  // to abort.
  bool (*Progress)(void* ctx, int position) = nullptr;
  // Sets the position without processing events.
  void (*SetPosition)(void* ctx, int position) = nullptr;
  // Shows a message (1337).
  void (*Message)(void* ctx, int id) = nullptr;
  // A follower waiting for the go event gives up when this says so (the
  // session is ending).
  bool (*StopWaiting)(void* ctx) = nullptr;
  // Brings the own main window to the front.
  void (*Foreground)(void* ctx) = nullptr;
};

struct SynchState {
  int Mode = SYNCH_NONE;
  std::string Folder;  // the runtime folder; "" when synchronisation is off
  std::vector<SynchParticipant> Participants;
  GoEvent Go;
  int ReplyFd = -1;  // a follower: the leader's request, until answered
  int GoWaitMs = GO_EVENT_WAIT_MS;
};

// Hook A: after every block is written to the paused device, right before
// it restarts. The leader asks every participant in turn; a follower
// answers its leader and waits for the go event. A follower that finds no
// event (the leader gave up, or the request came from no leader) or waits
// in vain (GoWaitMs) starts alone and tells why (1337), as a leader that
// cannot synchronise does.
void SynchHookA(SynchState& s, const SynchUi& ui);
// Hook B: right after the device restarted. The leader releases its
// followers.
void SynchHookB(SynchState& s, const SynchUi& ui);

// With SONAVEL_SYNCH_LOG naming a file, appends "<pid> <what> <mode>
// <monotonic ns>" to it (restarts and requests, for the tests and the skew
// benchmark).
void SynchLog(const char* what, int mode);
