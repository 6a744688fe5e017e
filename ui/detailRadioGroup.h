// TRadioGroup: a captioned group of exclusive choices laid out in columns,
// addressed by item position like a list. Position -1 means no choice.
#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QGridLayout;
class QRadioButton;

namespace ta::ui {

class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString& caption, int columns, QWidget* parent = nullptr);

    void setItems(const QStringList& items);
    void appendItem(const QString& text);
    QStringList items() const;
    int count() const;

    int itemIndex() const;
    // An index outside the items clears the choice.
    void setItemIndex(int index);
    // Removing the chosen item leaves no choice; a bad position is skipped.
    void deleteItem(int position);

signals:
    void itemIndexChanged(int index);

private:
    void relayout();

    QButtonGroup* buttons_;
    QGridLayout* grid_;
    QList<QRadioButton*> radios_;
    int columns_;
};

} // namespace ta::ui
