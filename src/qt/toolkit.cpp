#include "qt/toolkit.h"

#include <QCoreApplication>
#include <cstdlib>

namespace zel {

int checkValue(Qt::CheckState state) {
    switch (state) {
        case Qt::Unchecked:
            return 0;
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;
    }
    return 0;
}

std::optional<Qt::CheckState> checkStateForValue(int value) {
    switch (value) {
        case 0:
            return Qt::Unchecked;
        case 1:
            return Qt::Checked;
        case 2:
            return Qt::PartiallyChecked;
        default:
            return std::nullopt;
    }
}

bool setCheckValue(QCheckBox& box, int value) {
    auto state = checkStateForValue(value);
    if (!state) return false;
    box.setCheckState(*state);
    return true;
}

int checkValue(const QCheckBox& box) {
    return checkValue(box.checkState());
}

void processPendingEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

QMessageBox::StandardButton messageBox(QWidget* parent, const QString& text,
                                       QMessageBox::StandardButtons buttons, QMessageBox::Icon icon,
                                       QMessageBox::StandardButton defaultButton, const QString& title) {
    QMessageBox box(icon, title, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void endProgramNow() {
    std::_Exit(0);
}

std::function<void(std::function<void()>)> postToThread(QObject* context) {
    return [context](std::function<void()> call) {
        QMetaObject::invokeMethod(context, std::move(call), Qt::QueuedConnection);
    };
}

}  // namespace zel
