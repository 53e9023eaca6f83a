// A small second program for the end-to-end run: makes an empty document,
// reads one cell of a saved document, plays another program on the desktop
// clipboard (reading the editor's blocks, offering blocks to it) and drags
// a file as a file manager does.
#include <QClipboard>
#include <QDrag>
#include <QGuiApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QRasterWindow>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "editing/selection.h"
#include "files/binary_document.h"
#include "platform/clipboard.h"
#include "platform/messages.h"
#include "workspace/workspace.h"

namespace {

class PrintedMessages : public kelvor::Messages {
 public:
  void Show(std::string_view text, std::string_view, kelvor::MessageIcon) override {
    std::cerr << "message: " << text << "\n";
  }
  bool AskYesNo(std::string_view, std::string_view) override { return false; }
};

const char* const BlockTypes[3] = {"application/x-kelvor-0301", "application/x-kelvor-0302",
                                   "application/x-kelvor-0303"};

int NewDocument(const std::string& path, int width, int height) {
  kelvor::Workspace workspace;
  if (!workspace.document.grid.Allocate(width, height)) return 1;
  for (kelvor::ChipTable& table : workspace.document.tables) {
    table.entries[0].used = 1;
    table.count = 1;
  }
  PrintedMessages messages;
  return kelvor::WriteBinaryDocument(path, workspace.document, workspace.sheets, messages) ? 0 : 1;
}

int PrintCell(const std::string& path, int column, int row) {
  kelvor::Workspace workspace;
  PrintedMessages messages;
  if (!kelvor::ReadBinaryDocument(path, workspace.document, workspace.sheets, workspace.selection,
                                  messages)) {
    return 1;
  }
  if (!workspace.document.grid.Contains(column, row)) return 1;
  std::printf("%08x\n", static_cast<unsigned>(workspace.document.grid.At(column, row)));
  return 0;
}

// Every cell that is not empty, one line each: column, row, value in hex.
int PrintCells(const std::string& path) {
  kelvor::Workspace workspace;
  PrintedMessages messages;
  if (!kelvor::ReadBinaryDocument(path, workspace.document, workspace.sheets, workspace.selection,
                                  messages)) {
    return 1;
  }
  const kelvor::MapGrid& grid = workspace.document.grid;
  for (int32_t row = 0; row < grid.height; ++row) {
    for (int32_t column = 0; column < grid.width; ++column) {
      if (grid.At(column, row) != 0) {
        std::printf("%d %d %08x\n", column, row, static_cast<unsigned>(grid.At(column, row)));
      }
    }
  }
  return 0;
}

std::string Hex(const QByteArray& bytes) {
  return bytes.toHex().toStdString();
}

// Waits until the clipboard holds all three blocks, then prints them as hex,
// one line each.
int ReadBlocks(int argc, char** argv, int seconds) {
  QGuiApplication app(argc, argv);
  QTimer poll;
  int result = 1;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr) return;
    for (const char* type : BlockTypes) {
      if (!data->hasFormat(QString::fromLatin1(type))) return;
    }
    for (const char* type : BlockTypes) {
      std::cout << Hex(data->data(QString::fromLatin1(type))) << "\n";
    }
    std::cout.flush();
    result = 0;
    app.quit();
  });
  poll.start(100);
  QTimer::singleShot(seconds * 1000, &app, &QGuiApplication::quit);
  app.exec();
  return result;
}

// Offers three blocks given as hex and keeps offering them (the desktop
// clipboard asks the owner) until another program takes the clipboard or
// the time is up.
int WriteBlocks(int argc, char** argv, const std::vector<std::string>& hex, int seconds) {
  QGuiApplication app(argc, argv);
  auto* data = new QMimeData;
  for (int i = 0; i < 3; ++i) {
    data->setData(QString::fromLatin1(BlockTypes[i]),
                  QByteArray::fromHex(QByteArray::fromStdString(hex[static_cast<size_t>(i)])));
  }
  QGuiApplication::clipboard()->setMimeData(data);
  std::cout << "ready" << std::endl;
  QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, [&] {
    if (!QGuiApplication::clipboard()->ownsClipboard()) app.quit();
  });
  QTimer::singleShot(seconds * 1000, &app, &QGuiApplication::quit);
  app.exec();
  return 0;
}

// A window titled "drag source" at the top left of the screen: a press in it
// starts dragging `path` as a file URL; the program ends when the drag does
// (or after `seconds`), a little after the drop.
class DragSource : public QRasterWindow {
 public:
  explicit DragSource(const QString& path) : path_(path) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter(this).fillRect(QRect(QPoint(0, 0), size()), Qt::darkCyan);
  }
  void mousePressEvent(QMouseEvent*) override {
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(path_)});
    drag->setMimeData(data);
    const Qt::DropAction action = drag->exec(Qt::CopyAction);
    std::cout << (action == Qt::IgnoreAction ? "ignored" : "dropped") << std::endl;
    // The target may still be fetching the dragged data from us.
    QTimer::singleShot(3000, &QGuiApplication::quit);
  }

 private:
  QString path_;
};

int DragFile(int argc, char** argv, const std::string& path, int seconds) {
  QGuiApplication app(argc, argv);
  DragSource source(QString::fromStdString(path));
  source.setTitle(QStringLiteral("drag source"));
  source.setGeometry(0, 0, 120, 120);
  source.show();
  std::cout << "ready" << std::endl;
  QTimer::singleShot(seconds * 1000, &app, &QGuiApplication::quit);
  app.exec();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 4 && args[0] == "new-doc") {
    return NewDocument(args[1], std::stoi(args[2]), std::stoi(args[3]));
  }
  if (args.size() == 4 && args[0] == "cell") {
    return PrintCell(args[1], std::stoi(args[2]), std::stoi(args[3]));
  }
  if (args.size() == 2 && args[0] == "cells") return PrintCells(args[1]);
  if (args.size() == 2 && args[0] == "clip-read") {
    return ReadBlocks(argc, argv, std::stoi(args[1]));
  }
  if (args.size() == 5 && args[0] == "clip-write") {
    return WriteBlocks(argc, argv, {args[1], args[2], args[3]}, std::stoi(args[4]));
  }
  if (args.size() == 3 && args[0] == "drag")
    return DragFile(argc, argv, args[1], std::stoi(args[2]));
  std::cerr << "usage: kelvor-e2e-helper new-doc DOC W H | cell DOC COLUMN ROW | cells DOC |\n"
               "       clip-read SECONDS | clip-write SIZEHEX CELLSHEX MASKHEX SECONDS |\n"
               "       drag FILE SECONDS\n";
  return 2;
}
