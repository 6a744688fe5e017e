#include "ui/DetailPages.h"

#include "ui/Binding.h"
#include "ui/Cspin.h"
#include "ui/GestEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QVBoxLayout>

#include <algorithm>

namespace ta::ui::pages {

namespace {

const QString kPhoneChars = QStringLiteral("[0,1,2,3,4,5,6,7,8,9,-,*,#, ,(,),[,']']");
constexpr int kNumberFieldWidth = 230;
constexpr int kSpinWidth = 70;
// Digits a field shows without scrolling: telephone numbers, sub-addresses
// and numeric values up to 65535.
constexpr int kNumberDigits = 24;
constexpr int kSubAddrDigits = 20;
constexpr int kSpinDigits = 5;

// The width of a line edit that shows this many digits in its own font,
// margins and frame included.
int widthForDigits(const QLineEdit* field, int digits)
{
    constexpr int innerMargin = 2; // QLineEdit's own, on each side
    const QMargins text = field->textMargins();
    const QMargins contents = field->contentsMargins();
    const int inner = field->fontMetrics().horizontalAdvance(QString(digits, QLatin1Char('0'))) + 2 * innerMargin +
                      text.left() + text.right() + contents.left() + contents.right() + 1; // the cursor
    QStyleOptionFrame option;
    option.initFrom(field);
    option.lineWidth = field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, field);
    return field->style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(inner, 0), field).width();
}

} // namespace

QWidget* addPage(QStackedWidget* area, int number)
{
    // A large system font must not push controls out of reach, so a page
    // scrolls when it does not fit.
    auto* page = new QScrollArea;
    page->setObjectName(QStringLiteral("PG%1").arg(number));
    // Tab goes from the tree straight to the page's first field; the page
    // still scrolls to whichever field gets the focus.
    page->setFocusPolicy(Qt::NoFocus);
    page->setFrameShape(QFrame::NoFrame);
    page->setWidgetResizable(true);
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setSpacing(6);
    column->addStretch(1);
    page->setWidget(content);
    area->addWidget(page);
    return content;
}

QGroupBox* addGroup(QWidget* page, const QString& name, const QString& caption)
{
    auto* group = new QGroupBox(caption);
    group->setObjectName(name);
    new QGridLayout(group);
    auto* column = static_cast<QVBoxLayout*>(page->layout());
    column->insertWidget(column->count() - 1, group); // above the closing stretch
    return group;
}

QGridLayout* gridOf(QGroupBox* group) { return static_cast<QGridLayout*>(group->layout()); }

void fitFieldsToFont(QWidget* area)
{
    for (TFilterAlignEdit* field : area->findChildren<TFilterAlignEdit*>()) {
        const int digits = field->maxLength() > kSubAddrDigits ? kNumberDigits : kSubAddrDigits;
        field->setFixedWidth(widthForDigits(field, digits));
    }
    for (TCSpinEdit* spin : area->findChildren<TCSpinEdit*>())
        spin->setFixedWidth(std::max(kSpinWidth, widthForDigits(spin, kSpinDigits)));
}

void addSole(QGroupBox* group, QWidget* control)
{
    gridOf(group)->addWidget(control, 0, 0, Qt::AlignLeft);
    control->setAccessibleName(group->title());
    control->setProperty(kSettingLabel, group->title());
}

void nameAfter(QWidget* control, const QString& label, const QGridLayout* grid)
{
    control->setProperty(kSettingLabel, label);
    const auto* group = qobject_cast<const QGroupBox*>(grid->parentWidget());
    const QString caption = group ? group->title() : QString();
    control->setAccessibleName(caption.isEmpty() ? label : label + QStringLiteral(", ") + caption);
}

QLabel* label(const QString& text) { return new QLabel(text); }

// Screen readers on some systems read a list's label only from this link.
QLabel* labelFor(const QString& text, QWidget* control)
{
    QLabel* caption = label(text);
    caption->setBuddy(control);
    return caption;
}

TFilterAlignEdit* numberEdit(const QString& name, int maxLength)
{
    auto* edit = new TFilterAlignEdit;
    edit->setObjectName(name);
    edit->setValidChars(kPhoneChars);
    edit->setMaxLength(maxLength);
    return edit;
}

TCSpinEdit* spinEdit(const QString& name, int value, const QString& unit)
{
    auto* spin = new TCSpinEdit;
    spin->setObjectName(name);
    const auto [minValue, maxValue] = binding::ruleRange(name);
    // Read out with the field, as the notes beside it are seen with it.
    const QString range = QStringLiteral("%1 to %2").arg(minValue).arg(maxValue);
    spin->setAccessibleDescription(unit.isEmpty() ? range : range + QLatin1Char(' ') + unit);
    spin->setMinValue(minValue);
    spin->setMaxValue(maxValue);
    spin->SetValue(value);
    spin->setFixedWidth(kSpinWidth); // until the page's font is known
    return spin;
}

QComboBox* comboBox(const QString& name, const QStringList& items)
{
    auto* combo = new QComboBox;
    combo->setObjectName(name);
    combo->addItems(items);
    combo->setCurrentIndex(0);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return combo;
}

QCheckBox* checkBox(const QString& name, const QString& caption, bool checked)
{
    auto* box = new QCheckBox(caption);
    box->setObjectName(name);
    box->setChecked(checked);
    return box;
}

QLineEdit* readOnlyField(const QString& name, const QString& text)
{
    auto* field = new QLineEdit(text);
    field->setObjectName(name);
    field->setReadOnly(true);
    field->setFixedWidth(kNumberFieldWidth / 2);
    return field;
}

void addPhoneRow(QGridLayout* grid, int row, const QString& rowLabel, TFilterAlignEdit* number,
                 TFilterAlignEdit* subAddress)
{
    grid->addWidget(label(rowLabel), row, 0);
    grid->addWidget(number, row, 1);
    nameAfter(number, QStringLiteral("Address ") + rowLabel, grid);
    if (!subAddress)
        return;
    grid->addWidget(subAddress, row, 2);
    nameAfter(subAddress, QStringLiteral("SubAddress ") + rowLabel, grid);
}

void addPhoneRows(QGridLayout* grid, int firstRow, int count, const QString& dnStem,
                  const QString& subStem)
{
    grid->addWidget(label(QStringLiteral("Address")), firstRow, 1);
    if (!subStem.isEmpty())
        grid->addWidget(label(QStringLiteral("SubAddress")), firstRow, 2);
    for (int i = 0; i < count; ++i) {
        const QString number = QString::number(i + 1);
        addPhoneRow(grid, firstRow + 1 + i, QString::number(i), numberEdit(dnStem + number, 32),
                    subStem.isEmpty() ? nullptr : numberEdit(subStem + number, 20));
    }
    grid->setColumnStretch(3, 1);
}

void addModeRow(QGridLayout* grid, int row, const QString& name, const QStringList& items)
{
    QComboBox* mode = comboBox(name, items);
    grid->addWidget(labelFor(QStringLiteral("Mode"), mode), row, 0);
    grid->addWidget(mode, row, 1, 1, 2, Qt::AlignLeft);
    nameAfter(mode, QStringLiteral("Mode"), grid);
}

void addLabelled(QGridLayout* grid, int row, const QString& caption, QWidget* control,
                 const QString& note)
{
    nameAfter(control, caption, grid);
    grid->addWidget(labelFor(caption, control), row, 0);
    if (note.isEmpty()) {
        grid->addWidget(control, row, 1, Qt::AlignLeft);
    } else {
        // The note follows its own control, not the widest one in the column.
        auto* line = new QWidget;
        auto* parts = new QHBoxLayout(line);
        parts->setContentsMargins(0, 0, 0, 0);
        parts->addWidget(control);
        parts->addWidget(label(note));
        parts->addStretch(1);
        grid->addWidget(line, row, 1);
    }
    grid->setColumnStretch(2, 1);
}

QStringList clipClirItems()
{
    return {QStringLiteral("CLIR (don't pass self DN to destination site)"),
            QStringLiteral("CLIP (pass self DN to destination site)")};
}

QStringList inScreenModeItems()
{
    return {QStringLiteral("Accept all incoming calls"), QStringLiteral("Reject all incoming calls"),
            QStringLiteral("Only accept the calls from the list"),
            QStringLiteral("Only reject the calls from the list")};
}

QStringList outScreenModeItems()
{
    return {QStringLiteral("No any restriction"), QStringLiteral("Prohibit all outgoing call"),
            QStringLiteral("Only accept the calls with the prefix in the list"),
            QStringLiteral("Only reject the calls with the prefix in the list")};
}

} // namespace ta::ui::pages
