// A captioned group of radio buttons with an item index, as the windows' option groups use.
#pragma once

#include <QGroupBox>
#include <QStringList>
#include <vector>

class QButtonGroup;
class QRadioButton;

namespace qern {

// A captioned group of radio buttons with an item index (-1: none chosen).
class TRadioGroup : public QGroupBox {
  Q_OBJECT

 public:
  TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent,
              Qt::Orientation orientation = Qt::Vertical);
  int ItemIndex() const;
  void SetItemIndex(int index);
  QRadioButton* Item(int index) const;
  int Count() const { return static_cast<int>(items_.size()); }

 signals:
  void Clicked();  // the user chose an item

 private:
  QButtonGroup* group_ = nullptr;
  std::vector<QRadioButton*> items_;
};

}  // namespace qern
