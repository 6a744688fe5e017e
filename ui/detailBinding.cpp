// The editor's side of the binding, the Fixed MP rule, the ADD/DROP check and
// the TA's charge information.
#include "ui/detail.h"

#include "ui/Cspin.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace ta::ui {

namespace {

QString portName(const char* rs232Name, bool usb)
{
    const QString base = QString::fromLatin1(rs232Name);
    return usb ? binding::usbName(base) : base;
}

} // namespace

void TfDetail::showProfile()
{
    binding::showRows(ctx_.workingProfile, ctx_.switches, codeTables_, loadedValues_,
                      [this](const QString& name) { return control(name); });
    // Only the groups follow the loaded box; the loaded multilink values stay.
    for (bool usb : {false, true})
        showMultilinkGroups(usb, !control<QCheckBox>(portName("ckFixMP", usb))->isChecked());
    markUnchanged();
}

void TfDetail::collectProfile()
{
    binding::collectRows(ctx_.workingProfile, ctx_.switches, codeTables_, loadedValues_,
                         [this](const QString& name) { return control(name); });
    ctx_.clearLastCharge = control<QCheckBox>(QStringLiteral("ckCIClrLast"))->isChecked();
    ctx_.clearAccCharge = control<QCheckBox>(QStringLiteral("ckCIClrAcc"))->isChecked();
    ctx_.verifyAfterSubmit = ckVerify_->isChecked();
}

void TfDetail::collectProfileInto(TaProfile& profile)
{
    binding::collectRows(profile, ctx_.switches, codeTables_, loadedValues_,
                         [this](const QString& name) { return control(name); });
}

void TfDetail::ckFixMPClick(bool checked) { fixedMpClicked(false, checked); }

void TfDetail::ckUsbFixMPClick(bool checked) { fixedMpClicked(true, checked); }

void TfDetail::fixedMpClicked(bool usb, bool checked)
{
    if (!checked) {
        control<QComboBox>(portName("cbMaxThroughput", usb))->setCurrentIndex(0);
        control<TCSpinEdit>(portName("seAddThreshold", usb))->SetValue(35);
        control<TCSpinEdit>(portName("seDropThreshold", usb))->SetValue(25);
        control<TCSpinEdit>(portName("sePerTime", usb))->SetValue(24);
    }
    showMultilinkGroups(usb, !checked);
}

void TfDetail::showMultilinkGroups(bool usb, bool visible)
{
    for (const char* group : {"gbMPMaxThroughput", "gbMPADThrehold", "gbMPTimeToDrop"})
        control(portName(group, usb))->setVisible(visible);
}

void TfDetail::chargeTextsChanged()
{
    for (bool usb : {false, true}) {
        control<QLineEdit>(portName("eCILast", usb))->setText(QString::fromStdString(ctx_.chargeLast));
        control<QLineEdit>(portName("eCIAcc", usb))->setText(QString::fromStdString(ctx_.chargeAcc));
    }
}

// The TA keeps one charge record, whichever port it is reached through; the
// USB page shows the same record and its boxes are the same requests, so a
// USB-only TA (whose RS232 pages are pruned) can still clear its charges.
void TfDetail::syncChargeBoxes()
{
    for (const char* name : {"ckCIClrLast", "ckCIClrAcc"}) {
        auto* rs232 = control<QCheckBox>(portName(name, false));
        auto* usb = control<QCheckBox>(portName(name, true));
        connect(rs232, &QCheckBox::toggled, usb, &QCheckBox::setChecked);
        connect(usb, &QCheckBox::toggled, rs232, &QCheckBox::setChecked);
    }
}

} // namespace ta::ui
