#include "ui/dbg.h"

#include "ui/ScreenFit.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTextBlock>
#include <QVBoxLayout>

namespace ta::ui {

namespace {

QPlainTextEdit* makeMemo(QWidget* parent)
{
    auto* memo = new QPlainTextEdit(parent);
    memo->setObjectName(QStringLiteral("meDBG"));
    memo->setReadOnly(true);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return memo;
}

QChar flagDigit(bool on) { return on ? u'1' : u'0'; }

} // namespace

QString debugHeaderLine(const ta::link::Switches& switches)
{
    return QStringLiteral(", X25_D: ") + flagDigit(switches.x25OnD) +
           QStringLiteral(", USB Spt: ") + flagDigit(switches.usbSupport) +
           QStringLiteral(", Force RCFG: ") + flagDigit(switches.forceRemoteConfig);
}

// No title-bar buttons: the log stays for the whole run.
TfDBG::TfDBG(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      meDBG(makeMemo(this))
{
    setObjectName(QStringLiteral("fDBG"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Debug"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(meDBG);
    resize(409, 359);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().topLeft());
    keepOnScreen(this, Placement::Kept);
    meDBG->viewport()->installEventFilter(this);
}

void TfDBG::FormCreate(const ta::link::AppContext& context, QWidget* mainWindow)
{
    if (!context.switches.debugLog) {
        hide();
        return;
    }
    show();
    appendLine(debugHeaderLine(context.switches));
    if (mainWindow) {
        mainWindow->raise();
        mainWindow->activateWindow();
    }
}

void TfDBG::appendLine(const QString& line)
{
    meDBG->appendPlainText(line);
}

void TfDBG::appendLine(std::string_view bytes)
{
    appendLine(QString::fromLatin1(bytes.data(), qsizetype(bytes.size())));
}

QStringList TfDBG::lines() const
{
    QStringList result;
    if (meDBG->document()->isEmpty())
        return result;
    for (QTextBlock block = meDBG->document()->begin(); block.isValid(); block = block.next())
        result << block.text();
    return result;
}

void TfDBG::meDBGDblClick()
{
    meDBG->clear();
}

bool TfDBG::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == meDBG->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        meDBGDblClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// The window manager's close (Alt+F4) is refused like the missing buttons;
// the program's own close goes through.
void TfDBG::closeEvent(QCloseEvent* event)
{
    if (event->spontaneous())
        event->ignore();
    else
        QWidget::closeEvent(event);
}

} // namespace ta::ui
