#include "app/map_size_dialog.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/messages.h"
#include "ui_map_size_dialog.h"
#include "workspace/workspace.h"

namespace kelvor {
namespace {

constexpr std::string_view SizeRangeText = "幅と高さには 0 から 16384 までの数を入れてください";
constexpr std::string_view NoMemoryText = "このサイズのマップを作るメモリがありません";

}  // namespace

UpDownControl::UpDownControl(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  up_ = new QToolButton(this);
  down_ = new QToolButton(this);
  for (QToolButton* button : {up_, down_}) {
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    button->setFixedWidth(16);
    layout->addWidget(button);
  }
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  up_->setObjectName(QStringLiteral("up"));
  down_->setObjectName(QStringLiteral("down"));
  connect(up_, &QToolButton::clicked, this, [this] { Step(1); });
  connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
}

void UpDownControl::SetBuddy(QLineEdit* buddy) {
  if (buddy_) buddy_->removeEventFilter(this);
  buddy_ = buddy;
  if (buddy_) buddy_->installEventFilter(this);
}

void UpDownControl::SetRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = std::max(minimum, maximum);
}

void UpDownControl::SetValue(int value) {
  if (buddy_) buddy_->setText(QString::number(std::clamp(value, minimum_, maximum_)));
}

void UpDownControl::Step(int delta) {
  if (!buddy_) return;
  const int current = ParseSizeField(buddy_->text().toStdString());
  SetValue(current + delta);
}

bool UpDownControl::eventFilter(QObject* watched, QEvent* event) {
  // The type first: while the field is being destroyed it still sends
  // events here, and comparing with the QPointer would cast the half-gone
  // object to QLineEdit.
  if (event->type() == QEvent::KeyPress && watched == buddy_) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      Step(key == Qt::Key_Up ? 1 : -1);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

MapSizeDialog::MapSizeDialog(Workspace& workspace, Messages& messages, bool newMap, QWidget* owner)
    : QDialog(owner),
      ui_(std::make_unique<Ui::MapSizeDialog>()),
      workspace_(workspace),
      messages_(messages),
      newMap_(newMap) {
  ui_->setupUi(this);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  connect(ui_->control_1, &QPushButton::clicked, this, &MapSizeDialog::accept);
  connect(ui_->control_2, &QPushButton::clicked, this, &MapSizeDialog::reject);
  const MapGrid& grid = workspace_.document.grid;
  ui_->control_1001->SetBuddy(ui_->control_1000);
  ui_->control_1003->SetBuddy(ui_->control_1002);
  for (UpDownControl* spin : {ui_->control_1001, ui_->control_1003}) {
    spin->SetRange(0, MapSizeSpinMax);
  }
  for (QLineEdit* field : {ui_->control_1000, ui_->control_1002}) {
    field->setMaxLength(MapSizeFieldChars);
  }
  // The fields show the map's real size, also beyond the arrows' range (a
  // loaded map may be wider): OK without a change must not cut the map.
  ui_->control_1000->setText(QString::number(grid.width));
  ui_->control_1002->setText(QString::number(grid.height));
  ui_->control_1000->setFocus();
}

MapSizeDialog::~MapSizeDialog() = default;

QLineEdit* MapSizeDialog::widthField() const {
  return ui_->control_1000;
}
QLineEdit* MapSizeDialog::heightField() const {
  return ui_->control_1002;
}
UpDownControl* MapSizeDialog::widthSpin() const {
  return ui_->control_1001;
}
UpDownControl* MapSizeDialog::heightSpin() const {
  return ui_->control_1003;
}

void MapSizeDialog::accept() {
  const int32_t width = ParseSizeField(ui_->control_1000->text().toStdString());
  const int32_t height = ParseSizeField(ui_->control_1002->text().toStdString());
  result_ =
      newMap_ ? ApplyNewMap(workspace_.document, workspace_.selection, width, height)
              : ApplyMapSize(workspace_.document.grid, workspace_.selection, width, height, false);
  switch (result_.status) {
    case MapSizeStatus::Applied:
      MarkDocumentChanged(workspace_);
      QDialog::accept();
      return;
    case MapSizeStatus::OutOfRange:
      messages_.Show(SizeRangeText, texts::AppCaption, MessageIcon::Warning);
      break;
    case MapSizeStatus::OutOfMemory:
      messages_.Show(NoMemoryText, texts::AppCaption, MessageIcon::Warning);
      break;
  }
  // Nothing changed: the user corrects the numbers or cancels.
}

}  // namespace kelvor
