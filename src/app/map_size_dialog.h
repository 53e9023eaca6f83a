#pragma once

#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <memory>

#include "editing/map_resize.h"

class QLineEdit;
class QToolButton;

namespace Ui {
class MapSizeDialog;
}

namespace kelvor {

struct Workspace;
class Messages;

// Two arrows beside a text field that step the number in it, within a range;
// the Up and Down keys in the field step it as well. What is typed stays as
// typed: the range binds the arrows only.
class UpDownControl : public QWidget {
  Q_OBJECT

 public:
  explicit UpDownControl(QWidget* parent = nullptr);

  void SetBuddy(QLineEdit* buddy);
  void SetRange(int minimum, int maximum);
  // Shows `value` (clamped to the range) in the field.
  void SetValue(int value);
  // One step up (+1) or down (-1) from the number the field shows.
  void Step(int delta);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QLineEdit> buddy_;
  QToolButton* up_ = nullptr;
  QToolButton* down_ = nullptr;
  int minimum_ = 0;
  int maximum_ = 100;
};

// "ﾏｯﾌﾟｻｲｽﾞ変更": the map size in chips, for a resize that keeps the cells
// that still fit or for a new empty map. OK applies the size; a size the
// map cannot take is explained and the dialog stays open.
class MapSizeDialog : public QDialog {
  Q_OBJECT

 public:
  MapSizeDialog(Workspace& workspace, Messages& messages, bool newMap, QWidget* owner = nullptr);
  ~MapSizeDialog() override;

  bool newMapRequested() const { return newMap_; }
  // What OK did to the map; only meaningful after the dialog was accepted.
  const MapSizeResult& sizeResult() const { return result_; }

  QLineEdit* widthField() const;
  QLineEdit* heightField() const;
  UpDownControl* widthSpin() const;
  UpDownControl* heightSpin() const;

 public slots:
  void accept() override;

 private:
  std::unique_ptr<Ui::MapSizeDialog> ui_;
  Workspace& workspace_;
  Messages& messages_;
  bool newMap_;
  MapSizeResult result_;
};

}  // namespace kelvor
