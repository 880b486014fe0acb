#pragma once

#include <QObject>

namespace zel {

// Reports when the focus leaves one of the widgets it watches for another control of the window
// (Tab, a click), with the widget's index in its group, also when its text did not change, which
// editingFinished would not. The window being hidden, minimised or left for another program,
// and a context menu opening, are no loss of focus here: they must not rewrite the settings.
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
