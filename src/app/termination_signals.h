#pragma once

#include <QObject>

class QSocketNotifier;

namespace kelvor {

// SIGTERM and SIGHUP (a logout, a shutdown, a plain kill) arrive as the Qt
// signal `received` on the event loop. The handler itself only writes a
// byte to a pipe, the one thing a signal handler may safely do here.
class TerminationSignals : public QObject {
  Q_OBJECT

 public:
  explicit TerminationSignals(QObject* parent = nullptr);
  // Puts the default handlers back.
  ~TerminationSignals() override;

 signals:
  void received();

 private:
  void OnReadable();

  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kelvor
