#pragma once

#include <QObject>
#include <QTimer>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "files/recovery_copy.h"

class QLockFile;

namespace kelvor {

struct EditorContext;
struct Workspace;

// Where and how often the editor keeps its recovery copy.
struct RecoverySettings {
  std::string folder;  // $XDG_STATE_HOME/kelvor, by default ~/.local/state/kelvor
  std::string key;     // one copy per running editor: the single-instance key
  int intervalMs = 5000;
};

// The settings of this user and session: the state folder from the
// environment, the copy named by `key`. KELVOR_RECOVERY_INTERVAL_MS may
// shorten the interval (tests do).
RecoverySettings RecoverySettingsFor(const std::string& key);

// Writes recovery copies on a thread of its own, one task after the other.
// A write still waiting is replaced by a newer one; a removal drops it.
class RecoveryWriter {
 public:
  RecoveryWriter();
  // Finishes what is queued, then ends the thread.
  ~RecoveryWriter();
  RecoveryWriter(const RecoveryWriter&) = delete;
  RecoveryWriter& operator=(const RecoveryWriter&) = delete;

  void Write(std::shared_ptr<const RecoverySnapshot> snapshot, const std::string& path);
  void Remove(const std::string& path);
  // Blocks until every task queued so far is done.
  void Wait();
  // True once a write has failed (cleared by the next successful one).
  bool failing() const;

 private:
  struct Task {
    std::shared_ptr<const RecoverySnapshot> snapshot;  // null: remove the file
    std::string path;
  };
  void Run();

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::deque<Task> tasks_;
  bool busy_ = false;
  bool stopping_ = false;
  bool failing_ = false;
  std::thread thread_;
};

// Keeps a recovery copy of the open document while it has unsaved changes:
// every interval a snapshot is taken on the editing thread (sharing the map
// pieces that did not change) and written on the writer's thread. A save in
// a document form, opening a document and a confirmed quit remove the copy;
// an editor that is killed or crashes leaves it for the next start.
class RecoveryKeeper : public QObject {
  Q_OBJECT

 public:
  RecoveryKeeper(Workspace& workspace, RecoverySettings settings, QObject* parent = nullptr);
  ~RecoveryKeeper() override;

  // At start-up, after the chip-set scan: offers the copies left by editors
  // that ended without saving, newest first, until one is restored. A copy
  // declined is deleted, a damaged one reported and deleted. True when a
  // copy became the open document; `refresh` then says what to redraw.
  bool OfferRestore(EditorContext& context, OpenRefresh& refresh);
  // A termination signal: the last changes go to the copy, which stays.
  void WriteLastCopy();
  // A confirmed quit: the copy goes.
  void Discard();

  const std::string& copyPath() const { return copyPath_; }
  bool ending() const { return ending_; }
  // Takes a snapshot and hands it to the writer if it differs from the copy.
  void WriteIfChanged();
  RecoveryWriter& writer() { return writer_; }

 private:
  void OnUnsavedChanged();

  Workspace& workspace_;
  RecoverySettings settings_;
  std::string copyPath_;
  std::unique_ptr<QLockFile> lock_;  // held while this editor keeps its copy
  bool enabled_ = false;
  bool ending_ = false;
  bool warned_ = false;
  QTimer timer_;
  RecoveryWriter writer_;
  // The last snapshot taken (its map pieces are shared by the next) and the
  // last one handed to the writer since the copy was last removed.
  std::shared_ptr<const RecoverySnapshot> last_;
  std::shared_ptr<const RecoverySnapshot> written_;
};

}  // namespace kelvor
