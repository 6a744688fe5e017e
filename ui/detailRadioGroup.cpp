#include "ui/detailRadioGroup.h"

#include "ui/Accessibility.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

namespace ta::ui {

TRadioGroup::TRadioGroup(const QString& caption, int columns, QWidget* parent)
    : QGroupBox(caption, parent), buttons_(new QButtonGroup(this)), grid_(new QGridLayout(this)),
      columns_(columns < 1 ? 1 : columns)
{
    connect(buttons_, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on)
            emit itemIndexChanged(itemIndex());
    });
    tabLandsOnChosen(buttons_);
}

void TRadioGroup::setItems(const QStringList& items)
{
    qDeleteAll(radios_);
    radios_.clear();
    for (const QString& text : items)
        appendItem(text);
}

void TRadioGroup::appendItem(const QString& text)
{
    auto* radio = new QRadioButton(text, this);
    buttons_->addButton(radio);
    radios_.append(radio);
    relayout();
}

QStringList TRadioGroup::items() const
{
    QStringList texts;
    for (const QRadioButton* radio : radios_)
        texts.append(radio->text());
    return texts;
}

int TRadioGroup::count() const { return int(radios_.size()); }

int TRadioGroup::itemIndex() const
{
    for (int i = 0; i < radios_.size(); ++i)
        if (radios_[i]->isChecked())
            return i;
    return -1;
}

void TRadioGroup::setItemIndex(int index)
{
    if (index >= 0 && index < radios_.size()) {
        radios_[index]->setChecked(true);
        return;
    }
    // An exclusive group refuses to uncheck its last checked button.
    buttons_->setExclusive(false);
    for (QRadioButton* radio : radios_)
        radio->setChecked(false);
    buttons_->setExclusive(true);
}

void TRadioGroup::deleteItem(int position)
{
    if (position < 0 || position >= radios_.size())
        return;
    const bool wasChosen = radios_[position]->isChecked();
    QRadioButton* radio = radios_.takeAt(position);
    buttons_->removeButton(radio);
    delete radio;
    relayout();
    if (wasChosen)
        setItemIndex(-1);
}

void TRadioGroup::relayout()
{
    // Items run down the first column, then the next, as in a list.
    const int perColumn = int((radios_.size() + columns_ - 1) / columns_);
    for (int i = 0; i < radios_.size(); ++i) {
        grid_->removeWidget(radios_[i]);
        grid_->addWidget(radios_[i], perColumn ? i % perColumn : 0, perColumn ? i / perColumn : 0);
    }
    moveTabToChosen(buttons_);
}

} // namespace ta::ui
