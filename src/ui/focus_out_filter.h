#pragma once

#include <QObject>

namespace zel {

// Reports every loss of focus of the widgets it watches, with their index in the group.
// editingFinished is no substitute: it is not emitted when the text did not change.
class FocusOutFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    void watch(QObject* widget, int index);

signals:
    void lostFocus(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace zel
