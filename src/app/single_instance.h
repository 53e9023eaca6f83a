#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLockFile;
class QWidget;

namespace kelvor {

// The name under which one editor runs per user and desktop session.
QString SingleInstanceKey();

// Keeps the editor to one running copy. The first start claims the key and
// listens; a later start asks the first to come to the front and is told to
// exit, passing nothing on (a document named on its command line is not
// opened anywhere).
class SingleInstance : public QObject {
  Q_OBJECT

 public:
  explicit SingleInstance(QString key, QObject* parent = nullptr);
  ~SingleInstance() override;

  // True for the first copy, which keeps the claim until it ends. False when
  // another copy runs; that one has been asked to show itself.
  bool Claim();

 signals:
  // Another start wants the running editor in front.
  void activationRequested();

 private:
  void OnConnection();

  QString key_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer* server_ = nullptr;
};

// Brings a top-level window to the front, restoring it when minimised.
void RaiseWindow(QWidget* window);

}  // namespace kelvor
