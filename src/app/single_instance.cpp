#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>
#include <QWidget>

namespace kelvor {
namespace {

constexpr char RaiseRequest[] = "raise\n";
// How long a second start keeps trying to reach a first one that is still
// starting up (it holds the claim before it listens).
constexpr int ConnectAttempts = 20;
constexpr int ConnectWaitMs = 100;

}  // namespace

QString SingleInstanceKey() {
  QString user = qEnvironmentVariable("USER");
  if (user.isEmpty()) user = qEnvironmentVariable("USERNAME");
  // A user may be logged in on several desktops at once; each gets its own editor.
  const QString session = qEnvironmentVariable("XDG_SESSION_ID") + QLatin1Char('|') +
                          qEnvironmentVariable("DISPLAY") + QLatin1Char('|') +
                          qEnvironmentVariable("WAYLAND_DISPLAY");
  const QByteArray hash = QCryptographicHash::hash((user + QLatin1Char('|') + session).toUtf8(),
                                                   QCryptographicHash::Sha256)
                              .toHex()
                              .left(16);
  return QStringLiteral("kelvor-") + QString::fromLatin1(hash);
}

SingleInstance::SingleInstance(QString key, QObject* parent)
    : QObject(parent), key_(std::move(key)) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::Claim() {
  lock_ = std::make_unique<QLockFile>(QDir(QDir::tempPath()).filePath(key_ + ".lock"));
  // A claim lasts as long as its process; a crashed one's claim is taken over.
  lock_->setStaleLockTime(0);
  if (lock_->tryLock(0)) {
    // A socket file left by a crashed copy would make listen() fail.
    QLocalServer::removeServer(key_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
    server_->listen(key_);
    return true;
  }
  lock_.reset();
  for (int attempt = 0; attempt < ConnectAttempts; ++attempt) {
    QLocalSocket socket;
    socket.connectToServer(key_);
    if (socket.waitForConnected(ConnectWaitMs)) {
      socket.write(RaiseRequest);
      socket.waitForBytesWritten(1000);
      socket.disconnectFromServer();
      return false;
    }
    QThread::msleep(ConnectWaitMs);
  }
  return false;
}

void SingleInstance::OnConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    auto readRequest = [this, socket] {
      if (!socket->canReadLine()) return;
      const QByteArray line = socket->readLine();
      if (line == RaiseRequest) emit activationRequested();
    };
    connect(socket, &QLocalSocket::readyRead, this, readRequest);
    readRequest();
  }
}

void RaiseWindow(QWidget* window) {
  if (window == nullptr) return;
  window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace kelvor
