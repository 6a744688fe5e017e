#include "ui/fCall.h"

#include "ui/Accessibility.h"
#include "ui/ScreenFit.h"
#include "ui/progress.h"

#include <QCloseEvent>

namespace ta::ui {

namespace {

QPushButton* makeCancelButton(QWidget* parent)
{
    auto* button = new QPushButton(QStringLiteral("Cancel"), parent);
    button->setObjectName(QStringLiteral("btnCancel"));
    button->setGeometry(208, 20, 61, 26);
    return button;
}

} // namespace

TfCRemote::TfCRemote(QWidget* parent)
    : QWidget(parent, Qt::Dialog),
      label1(makeLabel(this, "label1", QStringLiteral("Connecting remote TA"), 20, 26)),
      lCalling(makeLabel(this, "lCalling", QStringLiteral("."), 137, 26)),
      btnCancel(makeCancelButton(this))
{
    setObjectName(QStringLiteral("fCRemote"));
    exposeAsDialog(this);
    keepOnScreen(this, Placement::Kept);
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Connecting"));
    resize(354, 109);
    QFont bold = lCalling->font();
    bold.setBold(true);
    lCalling->setFont(bold);
    placeAfter(lCalling, 137, label1);
    connect(btnCancel, &QPushButton::clicked, this, &TfCRemote::cancelRequested);
}

void TfCRemote::setCallingText(const QString& text)
{
    lCalling->setText(text);
    lCalling->adjustSize();
}

void TfCRemote::closeEvent(QCloseEvent* event)
{
    event->ignore();
    emit cancelRequested();
}

void TfCRemote::showEvent(QShowEvent* event)
{
    centreOnWindow(this, parentWidget() ? parentWidget()->window() : nullptr);
    QWidget::showEvent(event);
}

} // namespace ta::ui
