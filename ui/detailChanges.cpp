// What the editor knows of its own settings besides the binding: whether
// they changed since they were last loaded, saved or submitted, the question
// before the program ends, the status line's confirmations, and the names by
// which failures and the read-back speak of a setting.
#include "ui/detail.h"

#include "ui/DetailPages.h"
#include "ui/Messages.h"
#include "ui/detailRadioGroup.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTreeWidgetItem>

#include <cstring>

namespace ta::ui {

namespace {

constexpr int kConfirmationMs = 6000;

const QString kUnsavedText = QStringLiteral(
    "The settings in the editor were changed since they were loaded, saved or written to the TA.\n\n"
    "Save them to a profile file before the program ends?");

QString withoutMnemonic(QString text) { return text.remove(QLatin1Char('&')); }

// The control's own label: the one it was built with, a check box's caption,
// a radio group's title.
QString labelOf(const QWidget* control)
{
    const QVariant label = control->property(pages::kSettingLabel);
    if (label.isValid())
        return label.toString();
    if (const auto* box = qobject_cast<const QCheckBox*>(control))
        return withoutMnemonic(box->text());
    if (const auto* group = qobject_cast<const TRadioGroup*>(control))
        return group->title();
    return control->accessibleName();
}

// The captioned group the control sits in on its page, if any.
const QGroupBox* groupAround(const QWidget* control, const QWidget* page)
{
    for (const QWidget* w = control->parentWidget(); w && w != page; w = w->parentWidget())
        if (const auto* group = qobject_cast<const QGroupBox*>(w))
            return group;
    return nullptr;
}

} // namespace

TaProfile TfDetail::collectedProfile()
{
    TaProfile profile = ctx_.workingProfile;
    binding::collectRows(profile, ctx_.switches, codeTables_, loadedValues_,
                         [this](const QString& name) { return control(name); });
    return profile;
}

bool TfDetail::hasUnsavedChanges()
{
    const TaProfile now = collectedProfile();
    return std::memcmp(&now, &unchanged_, sizeof now) != 0;
}

void TfDetail::markUnchanged() { unchanged_ = collectedProfile(); }

bool TfDetail::settleUnsavedChanges()
{
    if (!isVisible() || !hasUnsavedChanges())
        return true;
    switch (unsavedChangesBox(this, kUnsavedText)) {
    case UnsavedChoice::Save: return saveToFile();
    case UnsavedChoice::Discard: return true;
    case UnsavedChoice::Cancel: break;
    }
    return false;
}

void TfDetail::showConfirmation(const QString& text) { statusBar()->showMessage(text, kConfirmationMs); }

QString TfDetail::settingName(std::size_t offset) const
{
    const binding::Row* row = binding::rowAt(offset);
    const QWidget* widget = row ? control(row->control) : nullptr;
    if (!widget)
        return {};
    const QWidget* page = widget;
    while (page && page->parentWidget() != pcDetail_)
        page = page->parentWidget();
    QStringList path;
    for (const QTreeWidgetItem* node = nodeOf(page); node && node->parent(); node = node->parent())
        path.prepend(node->text(0));
    const QString label = labelOf(widget);
    const QGroupBox* group = groupAround(widget, page);
    if (group && !group->title().isEmpty() && group->title() != label)
        path << group->title();
    path << label;
    return path.join(QStringLiteral(" > "));
}

QString TfDetail::settingValue(std::size_t offset, const uint8_t* field)
{
    const binding::Row* row = binding::rowAt(offset);
    const QWidget* widget = row ? control(row->control) : nullptr;
    return widget && field ? binding::shownText(*row, field, codeTables_, widget) : QString();
}

} // namespace ta::ui
