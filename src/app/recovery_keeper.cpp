#include "app/recovery_keeper.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <vector>

#include "app/editor_context.h"
#include "app/palette_dispatch.h"
#include "app/translations.h"
#include "files/save_as.h"
#include "platform/messages.h"
#include "workspace/workspace.h"

namespace kelvor {

namespace {

constexpr int DefaultIntervalMs = 5000;
constexpr int ShortestIntervalMs = 50;
// Copies are named after the single-instance key, which starts so.
constexpr char CopyPrefix[] = "kelvor-";
constexpr char CopySuffix[] = ".kv";

QString ToQString(const std::string& text) {
  return QString::fromStdString(text);
}

std::unique_ptr<QLockFile> LockFor(const QDir& folder, const QString& key) {
  auto lock = std::make_unique<QLockFile>(folder.filePath(key + QStringLiteral(".lock")));
  // A lock outlives its editor only when that one was killed: taken over.
  lock->setStaleLockTime(0);
  return lock;
}

// What an interrupted atomic write of `fileName` may have left beside it.
void RemoveTemporaries(const QDir& folder, const QString& fileName) {
  const QStringList pattern = {QStringLiteral(".") + fileName + QStringLiteral(".*.tmp")};
  for (const QString& name : folder.entryList(pattern, QDir::Files | QDir::Hidden)) {
    QFile::remove(folder.filePath(name));
  }
}

int64_t SecondsNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

RecoverySettings RecoverySettingsFor(const std::string& key) {
  RecoverySettings settings;
  QString state = qEnvironmentVariable("XDG_STATE_HOME");
  // A relative XDG_STATE_HOME is not to be trusted: the home default stands.
  if (state.isEmpty() || QDir::isRelativePath(state)) {
    state = QDir::home().filePath(QStringLiteral(".local/state"));
  }
  settings.folder = QDir(state).filePath(QStringLiteral("kelvor")).toStdString();
  settings.key = key;
  settings.intervalMs = DefaultIntervalMs;
  bool ok = false;
  const int interval = qEnvironmentVariableIntValue("KELVOR_RECOVERY_INTERVAL_MS", &ok);
  // Only ever shorter: no change may wait longer than the default promises.
  if (ok && interval > 0) {
    settings.intervalMs = std::clamp(interval, ShortestIntervalMs, DefaultIntervalMs);
  }
  return settings;
}

// --- writer ------------------------------------------------------------------

RecoveryWriter::RecoveryWriter() : thread_([this] { Run(); }) {}

RecoveryWriter::~RecoveryWriter() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void RecoveryWriter::Write(std::shared_ptr<const RecoverySnapshot> snapshot,
                           const std::string& path) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!tasks_.empty() && tasks_.back().snapshot && tasks_.back().path == path) {
      tasks_.back().snapshot = std::move(snapshot);
    } else {
      tasks_.push_back(Task{std::move(snapshot), path});
    }
  }
  wake_.notify_all();
}

void RecoveryWriter::Remove(const std::string& path) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::erase_if(tasks_, [&](const Task& task) { return task.snapshot && task.path == path; });
    tasks_.push_back(Task{nullptr, path});
  }
  wake_.notify_all();
}

void RecoveryWriter::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [this] { return tasks_.empty() && !busy_; });
}

bool RecoveryWriter::failing() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return failing_;
}

void RecoveryWriter::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
    if (tasks_.empty()) return;  // stopping, and everything is done
    Task task = std::move(tasks_.front());
    tasks_.pop_front();
    busy_ = true;
    lock.unlock();
    const bool write = task.snapshot != nullptr;
    bool ok = true;
    if (write) {
      ok = WriteRecoveryCopy(task.path, *task.snapshot) == FileWriteStatus::Ok;
    } else {
      std::error_code error;
      std::filesystem::remove(task.path, error);
    }
    task.snapshot.reset();
    lock.lock();
    busy_ = false;
    if (write) failing_ = !ok;
    if (tasks_.empty()) done_.notify_all();
  }
}

// --- keeper --------------------------------------------------------------------

RecoveryKeeper::RecoveryKeeper(Workspace& workspace, RecoverySettings settings, QObject* parent)
    : QObject(parent), workspace_(workspace), settings_(std::move(settings)) {
  const QString folderPath = ToQString(settings_.folder);
  const QString key = ToQString(settings_.key);
  if (!QFileInfo(folderPath).isDir() && QDir().mkpath(folderPath)) {
    // The copies hold the user's maps.
    QFile::setPermissions(folderPath, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
  const QDir folder(folderPath);
  copyPath_ = folder.filePath(key + QLatin1String(CopySuffix)).toStdString();
  lock_ = LockFor(folder, key);
  enabled_ = folder.exists() && lock_->tryLock(0);
  if (!enabled_) {
    qWarning("kelvor: no recovery copies: cannot use %s", qUtf8Printable(folderPath));
    return;
  }
  RemoveTemporaries(folder, QFileInfo(ToQString(copyPath_)).fileName());
  workspace_.unsaved.onChanged = [this] { OnUnsavedChanged(); };
  timer_.setInterval(settings_.intervalMs);
  connect(&timer_, &QTimer::timeout, this, &RecoveryKeeper::WriteIfChanged);
  timer_.start();
}

RecoveryKeeper::~RecoveryKeeper() {
  timer_.stop();
  workspace_.unsaved.onChanged = nullptr;
  // The writer finishes what it was given; the copy stays for the next start.
}

void RecoveryKeeper::OnUnsavedChanged() {
  if (!enabled_ || ending_ || workspace_.unsaved.changed) return;
  // Saved, opened or released: no copy is needed any more.
  written_.reset();
  writer_.Remove(copyPath_);
}

void RecoveryKeeper::WriteIfChanged() {
  if (!enabled_ || !workspace_.unsaved.changed || !workspace_.document.grid.Exists()) return;
  const RecoverySnapshot none;
  auto next = std::make_shared<RecoverySnapshot>();
  // Out of memory: the next interval tries again.
  if (!TakeRecoverySnapshot(workspace_, last_ ? *last_ : none, *next, SecondsNow())) return;
  last_ = next;
  if (!written_ || !SameRecoveryContent(*written_, *next)) {
    written_ = next;
    writer_.Write(next, copyPath_);
  }
  if (!warned_ && writer_.failing()) {
    warned_ = true;
    qWarning("kelvor: cannot write the recovery copy %s", copyPath_.c_str());
  }
}

void RecoveryKeeper::WriteLastCopy() {
  if (ending_) return;
  WriteIfChanged();
  ending_ = true;
  timer_.stop();
  writer_.Wait();
}

void RecoveryKeeper::Discard() {
  timer_.stop();
  if (!enabled_ || ending_) return;
  written_.reset();
  writer_.Remove(copyPath_);
  writer_.Wait();
  enabled_ = false;
}

bool RecoveryKeeper::OfferRestore(EditorContext& context, OpenRefresh& refresh) {
  if (!enabled_) return false;
  struct Candidate {
    QString path;
    std::unique_ptr<QLockFile> lock;  // another editor's, taken while its copy is handled
  };
  const QDir folder(ToQString(settings_.folder));
  const QStringList pattern = {QLatin1String(CopyPrefix) + QStringLiteral("*") +
                               QLatin1String(CopySuffix)};
  std::vector<Candidate> candidates;
  for (const QFileInfo& file : folder.entryInfoList(pattern, QDir::Files, QDir::Time)) {
    Candidate candidate{file.filePath(), nullptr};
    if (file.filePath().toStdString() != copyPath_) {
      // A copy of an editor still running in another session is its own.
      candidate.lock = LockFor(folder, file.completeBaseName());
      if (!candidate.lock->tryLock(0)) continue;
      RemoveTemporaries(folder, file.fileName());
    }
    candidates.push_back(std::move(candidate));
  }

  Workspace& ws = workspace_;
  for (Candidate& candidate : candidates) {
    const std::string path = candidate.path.toStdString();
    RecoveryCopy copy;
    switch (ReadRecoveryCopy(path, copy)) {
      case RecoveryReadStatus::Missing:
        continue;
      case RecoveryReadStatus::Damaged:
        context.messages.Show(texts::RecoveryDamaged, texts::AppCaption, MessageIcon::Warning);
        QFile::remove(candidate.path);
        continue;
      case RecoveryReadStatus::Ok:
        break;
    }
    const std::string name = copy.record.documentPath.empty()
                                 ? Tr(texts::RecoveryUntitled).toStdString()
                                 : std::string(FileNamePart(copy.record.documentPath));
    const std::string time = QDateTime::fromSecsSinceEpoch(copy.record.savedAt)
                                 .toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                                 .toStdString();
    const TextArg args[] = {name, time};
    const bool restore =
        context.messages.AskYesNo(FormatText(texts::RecoveryQuestion, args), texts::AppCaption);
    // Ended by a signal while asking: the question was not answered.
    if (ending_) return false;
    if (!restore) {
      QFile::remove(candidate.path);
      continue;
    }
    // The chips come from the folder the copy was made with.
    const std::string& chipFolder = copy.record.chipFolder;
    if (!chipFolder.empty() && chipFolder != ws.folders.chipFolder &&
        QFileInfo(ToQString(chipFolder)).isDir()) {
      ws.folders.chipFolder = chipFolder;
      RescanChipFolder(context);
    }
    RestoreRecoveryCopy(ws, std::move(copy), refresh);
    if (path != copyPath_) {
      // Another session's copy becomes this editor's.
      QFile::remove(ToQString(copyPath_));
      QFile::rename(candidate.path, ToQString(copyPath_));
    }
    return true;
  }
  return false;
}

}  // namespace kelvor
