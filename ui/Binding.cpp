#include "ui/Binding.h"

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

// A position the list does not have leaves it without a selection.
void setListIndex(QWidget* control, int index)
{
    if (index >= listCount(control))
        index = -1;
    if (auto* combo = qobject_cast<QComboBox*>(control))
        combo->setCurrentIndex(index);
    else if (auto* group = qobject_cast<TRadioGroup*>(control))
        group->setItemIndex(index);
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
    const CodeTable* table = tables.of(row.table);
    if (!table)
        return;
    const int position = table->positionOf(code);
    if (position >= 0)
        setListIndex(control, position);
    else if (table->withdrawn(code))
        setListIndex(control, -1); // its item is gone; collecting keeps the code
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
    case Kind::List: setListIndex(control, int(value)); break;
    case Kind::CodedList: showCoded(row, uint8_t(value), tables, control); break;
    case Kind::PacketSize: setListIndex(control, int(value) - 7); break;
    case Kind::DeviceType: setListIndex(control, value == 2 ? 1 : 0); break;
    case Kind::Box:
    case Kind::InvertedBox:
        if (auto* box = qobject_cast<QCheckBox*>(control))
            box->setChecked((value != 0) == (row.kind == Kind::Box));
        break;
    case Kind::Spin:
    case Kind::Spin16:
        if (auto* spin = qobject_cast<TCSpinEdit*>(control))
            spin->SetValue(value);
        break;
    default: break;
    }
}

void collectValue(const Row& row, uint8_t* field, CodeTables& tables, QWidget* control)
{
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

} // namespace

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
        if (auto* edit = qobject_cast<QLineEdit*>(control))
            edit->setText(textOfField(field, row.size));
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
            storeText(field, row.size, edit->storedText());
    } else {
        collectValue(row, field, tables, control);
    }
}

void showRows(const TaProfile& profile, const link::Switches& switches, CodeTables& tables,
              const ControlLookup& lookup)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(&profile);
    for (const Row& row : rows())
        if (included(row, switches))
            if (QWidget* control = lookup(row.control))
                showRow(row, bytes + row.offset, tables, control);
}

void collectRows(TaProfile& profile, const link::Switches& switches, CodeTables& tables,
                 const ControlLookup& lookup)
{
    auto* bytes = reinterpret_cast<uint8_t*>(&profile);
    for (const Row& row : rows())
        if (included(row, switches))
            if (QWidget* control = lookup(row.control))
                collectRow(row, bytes + row.offset, tables, control);
}

QString usbName(const QString& name)
{
    for (int i = 0; i < name.size(); ++i)
        if (name[i].isUpper())
            return name.left(i) + QStringLiteral("Usb") + name.mid(i);
    return name;
}

} // namespace ta::ui::binding
