#include "ui/fReboot.h"

#include "ui/Accessibility.h"
#include "ui/ScreenFit.h"
#include "ui/progress.h"

namespace ta::ui {

TfRTick::TfRTick(QWidget* parent)
    : QWidget(parent, Qt::Dialog),
      Label1(makeLabel(this, "Label1", QStringLiteral("Rebooting TA  ..............."), 48, 32)),
      lTick(makeLabel(this, "lTick", QString(), 184, 32))
{
    setObjectName(QStringLiteral("fRTick"));
    exposeAsDialog(this);
    keepOnScreen(this, Placement::Kept);
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Rebooting Status"));
    resize(275, 112);
    placeAfter(lTick, 184, Label1);
}

void TfRTick::setTickText(const QString& text)
{
    lTick->setText(text);
    lTick->adjustSize();
}

} // namespace ta::ui
