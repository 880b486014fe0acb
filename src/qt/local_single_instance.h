#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <memory>

#include "platform/single_instance.h"

namespace zel {

// The previous-instance query as a lock file that names its holder's process (a lock whose
// process is gone is taken over), and the show request over a local socket beside it. Both sit
// in a folder that only the user can enter.
class LocalSingleInstance final : public QObject, public SingleInstance {
    Q_OBJECT
public:
    // `folder`: the user's own runtime folder; `key`: instanceKey of the executable and user.
    LocalSingleInstance(const QString& folder, const QString& key, QObject* parent = nullptr);

    bool claim(std::function<void()> onShowRequest) override;
    void askRunningCopyToShow() override;

    // The user's runtime folder (XDG_RUNTIME_DIR, or a private folder Qt makes under /tmp).
    static QString userRuntimeFolder();

private:
    void serve(class QLocalSocket* socket);

    QString socketPath_;
    QLockFile lock_;
    QLocalServer server_;
    std::function<void()> onShow_;
};

}  // namespace zel
