#include "controls/RadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 2, 8, 2);
    layout->setSpacing(0);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        group_->addButton(button, i);
        layout->addWidget(button);
        buttons_.push_back(button);
    }
    connect(group_, &QButtonGroup::idClicked, this, [this] {
        if (onClick)
            onClick();
    });
}

int RadioGroup::itemIndex() const {
    return group_->checkedId();
}

void RadioGroup::setItemIndex(int index) {
    const int last = static_cast<int>(buttons_.size()) - 1;
    if (index > last)
        index = last;
    if (index < 0) {
        // An exclusive group never unchecks its last button by itself.
        group_->setExclusive(false);
        for (QRadioButton* button : buttons_) button->setChecked(false);
        group_->setExclusive(true);
        return;
    }
    buttons_[static_cast<std::size_t>(index)]->setChecked(true);
}
