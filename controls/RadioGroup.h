#pragma once

#include <QGroupBox>
#include <QStringList>
#include <functional>
#include <vector>

class QButtonGroup;
class QRadioButton;

// A framed group of radio buttons, one column, with an item index: -1 when no
// item is chosen.
class RadioGroup : public QGroupBox {
  public:
    RadioGroup(const QString& caption, const QStringList& items, QWidget* parent);

    int itemIndex() const;
    // Values above the last item choose the last one; negative values choose none.
    void setItemIndex(int index);
    QRadioButton* button(int index) const { return buttons_.at(static_cast<std::size_t>(index)); }

    // Runs when the operator clicks an item.
    std::function<void()> onClick;

  private:
    QButtonGroup* group_;
    std::vector<QRadioButton*> buttons_;
};
