#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <system_error>

#include "app/instance_request.h"

namespace kelvor {
namespace {

// How long a second start keeps trying to reach a first one that is still
// starting up (it holds the claim before it listens).
constexpr int ConnectAttempts = 20;
constexpr int ConnectWaitMs = 100;
// A connection that has not said what it wants by then is dropped.
constexpr int RequestWaitMs = 5000;

QByteArray ToBytes(std::string_view text) {
  return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

// The request for a start with `document`: opening it, made absolute against
// this start's folder, or only coming to the front.
QByteArray RequestFor(const std::string& document) {
  if (document.empty()) return ToBytes(RaiseRequestText);
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(document, error);
  const std::vector<uint8_t> open =
      error ? std::vector<uint8_t>{} : EncodeOpenRequest(absolute.string());
  if (open.empty()) return ToBytes(RaiseRequestText);
  return QByteArray(reinterpret_cast<const char*>(open.data()),
                    static_cast<qsizetype>(open.size()));
}

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

bool SingleInstance::Claim(const std::string& document) {
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
  Send(RequestFor(document));
  return false;
}

void SingleInstance::Send(const QByteArray& request) {
  for (int attempt = 0; attempt < ConnectAttempts; ++attempt) {
    QLocalSocket socket;
    socket.connectToServer(key_);
    if (socket.waitForConnected(ConnectWaitMs)) {
      socket.write(request);
      while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(1000)) {
      }
      socket.disconnectFromServer();
      if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(1000);
      return;
    }
    QThread::msleep(ConnectWaitMs);
  }
}

void SingleInstance::OnConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // Whatever a peer sends, no more than this is held at a time.
    socket->setReadBufferSize(8192);
    // Each connection carries one request; what arrived so far is kept here.
    struct Received {
      QByteArray bytes;
      bool done = false;  // answered or refused
    };
    auto received = std::make_shared<Received>();
    auto readRequest = [this, socket, received] {
      if (received->done) return;
      received->bytes.append(socket->readAll());
      const auto* data = reinterpret_cast<const uint8_t*>(received->bytes.constData());
      const InstanceRequest request =
          ParseInstanceRequest({data, static_cast<size_t>(received->bytes.size())});
      if (request.kind == InstanceRequestKind::Incomplete) return;
      received->done = true;
      socket->abort();
      if (request.kind == InstanceRequestKind::Raise) emit activationRequested();
      if (request.kind == InstanceRequestKind::Open) {
        emit documentHandedOver(QByteArray::fromStdString(request.path));
      }
    };
    connect(socket, &QLocalSocket::readyRead, this, readRequest);
    // A sender that stalls is not waited for.
    QTimer::singleShot(RequestWaitMs, socket, [socket] { socket->abort(); });
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
