#include "qt/focus_out_filter.h"

#include <QEvent>
#include <QFocusEvent>
#include <QVariant>

namespace zel {

namespace {
constexpr const char* kIndexProperty = "zelGroupIndex";
}

void FocusOutFilter::watch(QObject* widget, int index) {
    widget->setProperty(kIndexProperty, index);
    widget->installEventFilter(this);
}

bool FocusOutFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        switch (static_cast<QFocusEvent*>(event)->reason()) {
            case Qt::ActiveWindowFocusReason:  // hidden, minimised, another program
            case Qt::PopupFocusReason:         // a context menu
            case Qt::MenuBarFocusReason:
                break;
            default:
                emit lostFocus(watched->property(kIndexProperty).toInt());
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace zel
