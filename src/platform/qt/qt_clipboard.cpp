#include "platform/qt/qt_clipboard.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>

namespace kelvor {
namespace {

QString MimeName(std::string_view name) {
  return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

QByteArray ToBytes(const std::vector<uint8_t>& bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
}

std::optional<std::vector<uint8_t>> Block(const QMimeData& data, std::string_view name) {
  const QString mime = MimeName(name);
  if (!data.hasFormat(mime)) return std::nullopt;
  const QByteArray bytes = data.data(mime);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

bool HoldsOurBlocks(const QMimeData* data) {
  if (data == nullptr) return false;
  for (std::string_view name :
       {ClipboardMimeBlockSize, ClipboardMimeBlockCells, ClipboardMimeBlockMask}) {
    if (data->hasFormat(MimeName(name))) return true;
  }
  return false;
}

// Null without a running GUI application (the clipboard cannot be opened).
QClipboard* SystemClipboard() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return nullptr;
  return QGuiApplication::clipboard();
}

}  // namespace

bool QtClipboard::WriteBlocks(const std::vector<uint8_t>& blockSize,
                              const std::vector<uint8_t>& blockCells,
                              const std::vector<uint8_t>& blockMask) {
  QClipboard* clipboard = SystemClipboard();
  if (clipboard == nullptr) return false;
  auto* data = new QMimeData;
  data->setData(MimeName(ClipboardMimeBlockSize), ToBytes(blockSize));
  data->setData(MimeName(ClipboardMimeBlockCells), ToBytes(blockCells));
  data->setData(MimeName(ClipboardMimeBlockMask), ToBytes(blockMask));
  clipboard->setMimeData(data);  // the clipboard owns it from here
  return true;
}

ClipboardBlocks QtClipboard::ReadBlocks() {
  ClipboardBlocks blocks;
  QClipboard* clipboard = SystemClipboard();
  if (clipboard == nullptr) return blocks;
  const QMimeData* data = clipboard->mimeData();
  if (data == nullptr) return blocks;
  blocks.blockSize = Block(*data, ClipboardMimeBlockSize);
  blocks.blockCells = Block(*data, ClipboardMimeBlockCells);
  blocks.blockMask = Block(*data, ClipboardMimeBlockMask);
  return blocks;
}

void QtClipboard::Empty() {
  QClipboard* clipboard = SystemClipboard();
  if (clipboard == nullptr) return;
  if (HoldsOurBlocks(clipboard->mimeData())) clipboard->clear();
}

}  // namespace kelvor
