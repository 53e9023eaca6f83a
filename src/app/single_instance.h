#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <string>

class QLocalServer;
class QLockFile;
class QWidget;

namespace kelvor {

// The name under which one editor runs per user and desktop session.
QString SingleInstanceKey();

// Keeps the editor to one running copy. The first start claims the key and
// listens; a later start asks the first to come to the front, handing over
// the document named on its command line if any, and is told to exit.
class SingleInstance : public QObject {
  Q_OBJECT

 public:
  explicit SingleInstance(QString key, QObject* parent = nullptr);
  ~SingleInstance() override;

  // True for the first copy, which keeps the claim until it ends. False when
  // another copy runs; that one has been asked to show itself and, given a
  // `document` (a path as the file system has it), to open it.
  bool Claim(const std::string& document = {});

 signals:
  // Another start wants the running editor in front.
  void activationRequested();
  // Another start was given this document (an absolute path's bytes).
  void documentHandedOver(const QByteArray& path);

 private:
  void OnConnection();
  void Send(const QByteArray& request);

  QString key_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer* server_ = nullptr;
};

// Brings a top-level window to the front, restoring it when minimised.
void RaiseWindow(QWidget* window);

}  // namespace kelvor
