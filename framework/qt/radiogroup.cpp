// A captioned group of radio buttons with an item index.
#include "framework/qt/radiogroup.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qern {

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent,
                         Qt::Orientation orientation)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)) {
  QBoxLayout* layout = orientation == Qt::Vertical ? static_cast<QBoxLayout*>(new QVBoxLayout(this))
                                                   : new QHBoxLayout(this);
  layout->setContentsMargins(6, 2, 6, 2);
  layout->setSpacing(0);
  for (int i = 0; i < items.size(); ++i) {
    auto* b = new QRadioButton(items[i], this);
    b->setObjectName(QStringLiteral("item%1").arg(i));
    group_->addButton(b, i);
    layout->addWidget(b);
    items_.push_back(b);
  }
  connect(group_, &QButtonGroup::buttonClicked, this, [this] { emit Clicked(); });
}

int TRadioGroup::ItemIndex() const { return group_->checkedId(); }

void TRadioGroup::SetItemIndex(int index) {
  if (index >= 0 && index < Count()) {
    items_[index]->setChecked(true);
    return;
  }
  // No item: an exclusive group cannot be cleared button by button.
  group_->setExclusive(false);
  for (auto* b : items_) b->setChecked(false);
  group_->setExclusive(true);
}

QRadioButton* TRadioGroup::Item(int index) const {
  return index >= 0 && index < Count() ? items_[index] : nullptr;
}

}  // namespace qern
