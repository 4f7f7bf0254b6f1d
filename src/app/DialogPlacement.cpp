#include "app/DialogPlacement.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>

namespace DialogPlacement
{

namespace
{

class CentreOnShow : public QObject
{
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Show comes before the window is handed to the window system.
        if (event->type() == QEvent::Show)
            centre(static_cast<QWidget *>(watched));
        return false;
    }
};

} // namespace

void centre(QWidget *window)
{
    QWidget *parent = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    if (!window->isWindow() || !parent || !parent->isVisible())
        return;
    QRect place(QPoint(), window->size());
    place.moveCenter(parent->geometry().center());
    if (const QScreen *screen = parent->screen()) {
        const QRect room = screen->availableGeometry();
        place.moveLeft(std::max(room.left(), std::min(place.left(), room.right() - place.width())));
        place.moveTop(std::max(room.top(), std::min(place.top(), room.bottom() - place.height())));
    }
    // The client area, not the frame: see above.
    window->setGeometry(place);
}

void centreAtEveryShowing(QWidget *window)
{
    window->installEventFilter(new CentreOnShow(window));
}

} // namespace DialogPlacement
