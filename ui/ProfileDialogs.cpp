#include "ProfileDialogs.h"

#include "profile/FieldRules.h"
#include "ui/Messages.h"
#include "ui/ScreenFit.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace ta::ui {

namespace {

const QString kFilter = QStringLiteral("CFG files (*.CFG);;Any files (*.*)");

ProfileDialogs::Chooser& chooser()
{
    static ProfileDialogs::Chooser c;
    return c;
}

QString withDefaultExtension(const QString& name)
{
    if (name.isEmpty() || !QFileInfo(name).suffix().isEmpty())
        return name;
    return name + QStringLiteral(".CFG");
}

} // namespace

void warnOfRuleBreaks(QWidget* parent, const QString& path, const TaProfile& profile)
{
    QStringList lines;
    for (const RuleBreak& broken : recordRuleBreaks(profile))
        lines << QString::fromStdString(ruleBreakLine(broken));
    if (lines.isEmpty())
        return;
    showMessageBox(parent,
                   QStringLiteral("%1 holds values the TA does not take. They are kept as they are, but Submit to "
                                  "TA refuses those it would send.")
                       .arg(QDir::toNativeSeparators(path)),
                   lines.join(QLatin1Char('\n')));
}

void ProfileDialogs::setChooser(Chooser c) { chooser() = std::move(c); }

QString ProfileDialogs::chooseOpen(QWidget* parent)
{
    QString name;
    if (chooser()) {
        name = chooser()(Kind::Open);
    } else {
        QFileDialog dialog(parent, QStringLiteral("Open TA Profile"), QString(), kFilter);
        keepOnScreen(&dialog, Placement::Centred);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setDefaultSuffix(QStringLiteral("CFG"));
        dialog.selectFile(lastOpened_);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            name = dialog.selectedFiles().first();
    }
    if (!name.isEmpty())
        lastOpened_ = name;
    return name;
}

QString ProfileDialogs::chooseSave(QWidget* parent)
{
    if (chooser())
        return withDefaultExtension(chooser()(Kind::Save));
    QFileDialog dialog(parent, QStringLiteral("Save TA Profile"), QString(), kFilter);
    keepOnScreen(&dialog, Placement::Centred);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("CFG"));
    dialog.selectFile(QString());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

} // namespace ta::ui
