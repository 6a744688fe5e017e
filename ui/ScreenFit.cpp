#include "ui/ScreenFit.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace ta::ui {

namespace {

// Until a window manager has framed a window of ours, its frame is a guess:
// the last one seen, or none.
QMargins& lastFrameSeen()
{
    static QMargins frame;
    return frame;
}

QMargins frameOf(const QWidget* window)
{
    const QRect outer = window->frameGeometry();
    const QRect inner = window->geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

int fittedLength(int wanted, int minimum, int room) { return std::max(std::min(wanted, room), minimum); }

// Within [low, high] when length fits there, else at low.
int placedInside(int start, int length, int low, int high) { return std::max(low, std::min(start, high - length)); }

// Where a window goes whose client area would like the size `wanted`, on a
// screen whose available area is `available`, with `frame` around the client
// area: as large as wanted or as the area allows, never below `minimum`
// (which the area may be smaller than), centred on `centre`, then moved so
// that the frame lies inside the area as far as its size lets it. Returns the
// client area.
QRect fittedGeometry(const QRect& available, const QMargins& frame, QSize wanted, QSize minimum, QPoint centre)
{
    const int frameWidth = frame.left() + frame.right();
    const int frameHeight = frame.top() + frame.bottom();
    const QSize size(fittedLength(wanted.width(), minimum.width(), available.width() - frameWidth),
                     fittedLength(wanted.height(), minimum.height(), available.height() - frameHeight));
    QRect outer(QPoint(), size.grownBy(frame));
    outer.moveCenter(centre);
    outer.moveTo(placedInside(outer.left(), outer.width(), available.left(), available.left() + available.width()),
                 placedInside(outer.top(), outer.height(), available.top(), available.top() + available.height()));
    return outer.marginsRemoved(frame);
}

bool fixedSize(const QWidget* window) { return window->minimumSize() == window->maximumSize(); }

const QString kFitName = QStringLiteral("taScreenFit");

class ScreenFit : public QObject {
public:
    ScreenFit(QWidget* window, Placement placement) : QObject(window), window_(window), placement_(placement)
    {
        setObjectName(kFitName);
        window->installEventFilter(this);
    }

    void want(QSize size)
    {
        wanted_ = size;
        fit();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != window_)
            return false;
        switch (event->type()) {
        case QEvent::Show:
            if (!event->spontaneous())
                shown();
            break;
        case QEvent::Move:
        case QEvent::Resize:
            if (window_->isVisible())
                frameArrived();
            break;
        case QEvent::Paint:
            // A window manager may frame the window without moving it; by the
            // first painting the frame is there. Not refitted while painting.
            if (!framePainted_) {
                framePainted_ = true;
                QTimer::singleShot(0, this, [this] { frameArrived(); });
            }
            break;
        default:
            break;
        }
        return false;
    }

private:
    void shown()
    {
        // A size set since the last fit is what the window wants now.
        if (!wanted_.isValid() || window_->size() != fitted_)
            wanted_ = window_->size();
        framePainted_ = false;
        if (QWindow* handle = window_->windowHandle(); handle && !screenWatched_) {
            screenWatched_ = true;
            connect(handle, &QWindow::screenChanged, this, [this] { fit(); });
        }
        fit();
    }

    // The window manager has put a frame other than the assumed one around
    // the window: fitted again only when the frame now sticks out, so that a
    // window the user has resized or maximized is left alone.
    void frameArrived()
    {
        const QMargins frame = frameOf(window_);
        if (frame == frameUsed_)
            return;
        const QScreen* screen = window_->screen();
        if (screen && screen->availableGeometry().contains(window_->frameGeometry())) {
            frameUsed_ = frame;
            lastFrameSeen() = frame;
            return;
        }
        fit();
    }

    void fit()
    {
        const QScreen* screen = window_->screen() ? window_->screen() : QGuiApplication::primaryScreen();
        if (!screen || !wanted_.isValid())
            return;
        const QMargins frame = frameOf(window_);
        if (!frame.isNull())
            lastFrameSeen() = frame;
        frameUsed_ = frame.isNull() ? lastFrameSeen() : frame;
        const QRect available = screen->availableGeometry();
        const QPoint centre = placement_ == Placement::Centred ? available.center() : window_->geometry().center();
        const QRect client = fittedGeometry(available, frameUsed_, wanted_, window_->minimumSizeHint(), centre);
        if (fixedSize(window_))
            window_->setFixedSize(client.size());
        else
            window_->resize(client.size());
        fitted_ = client.size();
        window_->move(client.topLeft() - QPoint(frameUsed_.left(), frameUsed_.top()));
    }

    QWidget* window_;
    Placement placement_;
    QSize wanted_;
    QSize fitted_;
    QMargins frameUsed_;
    bool screenWatched_ = false;
    bool framePainted_ = false; // painted since shown
};

} // namespace

void keepOnScreen(QWidget* window, Placement placement) { new ScreenFit(window, placement); }

void fitOnScreen(QWidget* window, QSize wanted)
{
    if (auto* fit = window->findChild<QObject*>(kFitName, Qt::FindDirectChildrenOnly))
        static_cast<ScreenFit*>(fit)->want(wanted);
}

} // namespace ta::ui
