#pragma once

#include <QMenu>
#include <QStringList>

#include "qt/tray.h"

namespace zel::test {

// A tray that records what the window asked of it; tests raise its messages.
class FakeTray final : public Tray {
    Q_OBJECT
public:
    int adds = 0;
    int deletes = 0;
    bool present = false;
    QStringList poppedUpEntries;
    QStringList warnings;  // "title: text"

    void addIcon() override {
        ++adds;
        present = true;
    }
    void deleteIcon() override {
        ++deletes;
        present = false;
    }
    void popUp(QMenu& menu) override {
        for (QAction* a : menu.actions())
            poppedUpEntries << (a->isSeparator() ? QStringLiteral("-") : a->text());
    }
    void showWarning(const QString& title, const QString& text) override { warnings << title + ": " + text; }
    void send(int number) { emit message(number); }
};

}  // namespace zel::test
