#pragma once

#include <QCheckBox>
#include <QMessageBox>
#include <QString>
#include <functional>
#include <optional>

namespace zel {

// Check box values of the program: 0 unchecked, 1 checked, 2 grayed.
int checkValue(Qt::CheckState state);
std::optional<Qt::CheckState> checkStateForValue(int value);
// Sets a check box from a value; false (and nothing changed) for a number other than 0, 1, 2.
bool setCheckValue(QCheckBox& box, int value);
int checkValue(const QCheckBox& box);

// Handles every event waiting at this moment, once, then returns.
void processPendingEvents();

// Modal message box with text, buttons, icon, default button and title; returns the button chosen.
QMessageBox::StandardButton messageBox(QWidget* parent, const QString& text,
                                       QMessageBox::StandardButtons buttons, QMessageBox::Icon icon,
                                       QMessageBox::StandardButton defaultButton, const QString& title);

// A function that hands a call, from any thread, to the thread of `context` (the window's), where it
// runs later among the other events. Calls still waiting when `context` goes away are dropped.
std::function<void(std::function<void()>)> postToThread(QObject* context);

// Ends the process at once: no further handler runs; programs it started keep running.
[[noreturn]] void endProgramNow();

}  // namespace zel
