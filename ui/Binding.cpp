#include "ui/Binding.h"

#include "profile/FieldList.h"
#include "ui/Cspin.h"
#include "ui/detailMaskEdit.h"
#include "ui/detailRadioGroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <algorithm>
#include <cstring>

namespace ta::ui::binding {

namespace {

// A list that shows a stored value none of its items stands for carries it
// in this property, with an extra last item that names it.
constexpr const char* kUnlistedValue = "unlistedValue";

int listIndex(QWidget* control)
{
    if (auto* combo = qobject_cast<QComboBox*>(control))
        return combo->currentIndex();
    if (auto* group = qobject_cast<TRadioGroup*>(control))
        return group->itemIndex();
    return -1;
}

int listCount(QWidget* control)
{
    if (auto* combo = qobject_cast<QComboBox*>(control))
        return combo->count();
    if (auto* group = qobject_cast<TRadioGroup*>(control))
        return group->count();
    return 0;
}

void setListIndex(QWidget* control, int index)
{
    if (auto* combo = qobject_cast<QComboBox*>(control))
        combo->setCurrentIndex(index);
    else if (auto* group = qobject_cast<TRadioGroup*>(control))
        group->setItemIndex(index);
}

void dropUnlistedItem(QWidget* control)
{
    if (!control->property(kUnlistedValue).isValid())
        return;
    control->setProperty(kUnlistedValue, QVariant());
    const int last = listCount(control) - 1;
    if (auto* combo = qobject_cast<QComboBox*>(control))
        combo->removeItem(last);
    else if (auto* group = qobject_cast<TRadioGroup*>(control))
        group->deleteItem(last);
}

void showUnlisted(QWidget* control, unsigned value)
{
    if (auto* combo = qobject_cast<QComboBox*>(control))
        combo->addItem(unlistedText(value));
    else if (auto* group = qobject_cast<TRadioGroup*>(control))
        group->appendItem(unlistedText(value));
    else
        return;
    control->setProperty(kUnlistedValue, value);
    setListIndex(control, listCount(control) - 1);
}

// The stored value when the list's extra item is the one chosen.
std::optional<unsigned> unlistedChoice(QWidget* control)
{
    const QVariant value = control->property(kUnlistedValue);
    if (!value.isValid() || listIndex(control) != listCount(control) - 1)
        return std::nullopt;
    return value.toUInt();
}

// Selects position, or names the stored value when the list lacks it.
void showListValue(QWidget* control, int position, unsigned stored)
{
    dropUnlistedItem(control);
    if (position >= 0 && position < listCount(control))
        setListIndex(control, position);
    else
        showUnlisted(control, stored);
}

QString textOfField(const uint8_t* field, std::size_t size)
{
    const char* chars = reinterpret_cast<const char*>(field);
    return QString::fromLatin1(chars, qsizetype(strnlen(chars, size)));
}

void storeText(uint8_t* field, std::size_t size, const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    const std::size_t n = std::min<std::size_t>(std::size_t(bytes.size()), size - 1);
    std::memcpy(field, bytes.constData(), n);
    field[n] = 0;
}

unsigned fieldValue(const Row& row, const uint8_t* field)
{
    return row.kind == Kind::Spin16 ? unsigned(field[0] | (field[1] << 8)) : field[0];
}

void storeValue(const Row& row, uint8_t* field, long long value)
{
    if (row.kind == Kind::Spin16) {
        const auto v = uint16_t(std::clamp<long long>(value, 0, 0xFFFF));
        field[0] = uint8_t(v & 0xFF);
        field[1] = uint8_t(v >> 8);
        return;
    }
    field[0] = uint8_t(std::clamp<long long>(value, 0, 0xFF));
}

// A value typed beyond the range is stored as the spin field would show it
// once it loses the focus, never wrapped into the byte.
long long settledSpinValue(TCSpinEdit* spin)
{
    const int typed = spin->GetValue();
    const int settled = spin->CheckValue(typed);
    if (settled != typed)
        spin->SetValue(settled);
    return settled;
}

void showCoded(const Row& row, uint8_t code, CodeTables& tables, QWidget* control)
{
    if (const CodeTable* table = tables.of(row.table))
        showListValue(control, table->positionOf(code), code);
}

void collectCoded(const Row& row, uint8_t* field, CodeTables& tables, QWidget* control)
{
    const CodeTable* table = tables.of(row.table);
    if (!table)
        return;
    if (const std::optional<uint8_t> code = table->codeAt(listIndex(control)))
        field[0] = *code;
}

void showValue(const Row& row, unsigned value, CodeTables& tables, QWidget* control)
{
    switch (row.kind) {
    case Kind::List: showListValue(control, int(value), value); break;
    case Kind::CodedList: showCoded(row, uint8_t(value), tables, control); break;
    case Kind::PacketSize: showListValue(control, int(value) - 7, value); break;
    case Kind::DeviceType: setListIndex(control, value == 2 ? 1 : 0); break;
    case Kind::Box:
    case Kind::InvertedBox:
        if (auto* box = qobject_cast<QCheckBox*>(control))
            box->setChecked((value != 0) == (row.kind == Kind::Box));
        break;
    case Kind::Spin:
    case Kind::Spin16:
        if (auto* spin = qobject_cast<TCSpinEdit*>(control))
            spin->showStored(value);
        break;
    default: break;
    }
}

void collectValue(const Row& row, uint8_t* field, CodeTables& tables, QWidget* control)
{
    if (const std::optional<unsigned> unlisted = unlistedChoice(control)) {
        field[0] = uint8_t(*unlisted);
        return;
    }
    const int index = listIndex(control);
    switch (row.kind) {
    case Kind::List: field[0] = index < 0 ? 255 : uint8_t(index); break;
    case Kind::CodedList: collectCoded(row, field, tables, control); break;
    case Kind::PacketSize: field[0] = uint8_t(index + 7); break;
    case Kind::DeviceType: field[0] = index == 1 ? 2 : 0; break;
    case Kind::Box:
    case Kind::InvertedBox:
        if (auto* box = qobject_cast<QCheckBox*>(control))
            field[0] = (box->isChecked() == (row.kind == Kind::Box)) ? 1 : 0;
        break;
    case Kind::Spin:
    case Kind::Spin16:
        if (auto* spin = qobject_cast<TCSpinEdit*>(control))
            storeValue(row, field, settledSpinValue(spin));
        break;
    default: break;
    }
}

// What a control shows, as far as a change by the user goes.
QString shownState(QWidget* control)
{
    if (auto* combo = qobject_cast<QComboBox*>(control))
        return QString::number(combo->currentIndex()) + u' ' + combo->currentText();
    if (auto* group = qobject_cast<TRadioGroup*>(control)) {
        const int index = group->itemIndex();
        return QString::number(index) + u' ' + (index < 0 ? QString() : group->items().value(index));
    }
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        return edit->displayText();
    if (auto* box = qobject_cast<QCheckBox*>(control))
        return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    return QString();
}

// The items of a list, without the extra one that names an unlisted value.
QStringList listItems(const QWidget* control)
{
    QStringList items;
    if (const auto* combo = qobject_cast<const QComboBox*>(control))
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
    else if (const auto* group = qobject_cast<const TRadioGroup*>(control))
        items = group->items();
    if (control->property(kUnlistedValue).isValid() && !items.isEmpty())
        items.removeLast();
    return items;
}

QString itemText(const QWidget* control, int position, unsigned stored)
{
    const QStringList items = listItems(control);
    return position >= 0 && position < items.size() ? items[position] : unlistedText(stored);
}

} // namespace

const Row* rowAt(std::size_t offset)
{
    for (const Row& row : rows())
        if (row.offset == offset)
            return &row;
    return nullptr;
}

QString shownText(const Row& row, const uint8_t* field, CodeTables& tables, const QWidget* control)
{
    const unsigned value = fieldValue(row, field);
    switch (row.kind) {
    case Kind::Text:
    case Kind::MaskedText: {
        const QString text = textOfField(field, row.size);
        return text.isEmpty() ? QStringLiteral("(empty)") : text;
    }
    case Kind::List: return itemText(control, int(value), value);
    case Kind::CodedList: {
        const CodeTable* table = tables.of(row.table);
        return itemText(control, table ? table->positionOf(uint8_t(value)) : -1, value);
    }
    case Kind::PacketSize: return itemText(control, int(value) - 7, value);
    case Kind::DeviceType: return itemText(control, value == 2 ? 1 : 0, value);
    case Kind::Box:
    case Kind::InvertedBox:
        return (value != 0) == (row.kind == Kind::Box) ? QStringLiteral("checked") : QStringLiteral("not checked");
    case Kind::Spin:
    case Kind::Spin16: return QString::number(value);
    }
    return QString::number(value);
}

QString unlistedText(unsigned value) { return QStringLiteral("%1 (not in list)").arg(value); }

void LoadedValues::remember(const Row& row, const uint8_t* field, QWidget* control)
{
    byControl_.insert(row.control, {QByteArray(reinterpret_cast<const char*>(field), qsizetype(row.size)),
                                    shownState(control)});
}

const QByteArray* LoadedValues::untouched(const Row& row, QWidget* control) const
{
    const auto found = byControl_.constFind(row.control);
    if (found == byControl_.cend() || found->shown != shownState(control))
        return nullptr;
    return &found->bytes;
}

bool included(const Row& row, const link::Switches& switches)
{
    switch (row.gate) {
    case Switch::P: return switches.countryOption;
    case Switch::X: return switches.x25OnD;
    case Switch::T: return switches.sysDateTime;
    case Switch::Always: break;
    }
    return true;
}

void showRow(const Row& row, const uint8_t* field, CodeTables& tables, QWidget* control)
{
    if (row.kind == Kind::Text) {
        if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            edit->setText(textOfField(field, row.size));
            edit->setCursorPosition(0); // a long number shows its start
        }
    } else if (row.kind == Kind::MaskedText) {
        if (auto* edit = qobject_cast<TMaskEdit*>(control))
            edit->setStoredText(textOfField(field, row.size));
    } else {
        showValue(row, fieldValue(row, field), tables, control);
    }
}

void collectRow(const Row& row, uint8_t* field, CodeTables& tables, QWidget* control)
{
    if (row.kind == Kind::Text) {
        if (auto* edit = qobject_cast<QLineEdit*>(control))
            storeText(field, row.size, edit->text());
    } else if (row.kind == Kind::MaskedText) {
        if (auto* edit = qobject_cast<TMaskEdit*>(control))
            storeText(field, row.size, zeroFilledParts(edit->storedText()));
    } else {
        collectValue(row, field, tables, control);
    }
}

void showRows(const TaProfile& profile, const link::Switches& switches, CodeTables& tables,
              LoadedValues& loaded, const ControlLookup& lookup)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(&profile);
    for (const Row& row : rows())
        if (included(row, switches))
            if (QWidget* control = lookup(row.control))
                showRow(row, bytes + row.offset, tables, control);
    // Only once every control is filled: a control may react to another.
    loaded.clear();
    for (const Row& row : rows())
        if (included(row, switches))
            if (QWidget* control = lookup(row.control))
                loaded.remember(row, bytes + row.offset, control);
}

void collectRows(TaProfile& profile, const link::Switches& switches, CodeTables& tables,
                 const LoadedValues& loaded, const ControlLookup& lookup)
{
    auto* bytes = reinterpret_cast<uint8_t*>(&profile);
    for (const Row& row : rows()) {
        if (!included(row, switches))
            continue;
        QWidget* control = lookup(row.control);
        if (!control)
            continue;
        if (const QByteArray* untouched = loaded.untouched(row, control))
            std::memcpy(bytes + row.offset, untouched->constData(), row.size);
        else
            collectRow(row, bytes + row.offset, tables, control);
    }
}

std::pair<int, int> ruleRange(const QString& control)
{
    for (const Row& row : rows())
        if (row.control == control)
            for (const FieldInfo& field : profileFields())
                if (field.offset == row.offset)
                    return {field.min, field.max};
    return {0, 0}; // no limits: CheckValue leaves the value alone
}

QString usbName(const QString& name)
{
    for (int i = 0; i < name.size(); ++i)
        if (name[i].isUpper())
            return name.left(i) + QStringLiteral("Usb") + name.mid(i);
    return name;
}

} // namespace ta::ui::binding
