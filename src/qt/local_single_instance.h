#pragma once

#include <QLocalServer>
#include <QObject>
#include <memory>

#include "platform/system/machine_lock.h"
#include "platform/system/single_instance.h"

namespace zel {

// The previous-instance query as a lock that every user of the machine sees (it goes with the
// process that holds it), and the show request over a local socket in the user's own folder: a
// copy of another user cannot reach it, and gives way all the same.
class LocalSingleInstance final : public QObject, public SingleInstance {
    Q_OBJECT
public:
    // `lockFolder`: a folder every user can reach (/tmp); `socketFolder`: the user's own runtime
    // folder; `key`: instanceKey of the program folder.
    LocalSingleInstance(const QString& lockFolder, const QString& socketFolder, const QString& key,
                        QObject* parent = nullptr);

    bool claim(std::function<void()> onShowRequest) override;
    void askRunningCopyToShow() override;

    // The user's runtime folder (XDG_RUNTIME_DIR, or a private folder Qt makes under /tmp).
    static QString userRuntimeFolder();

private:
    void serve(class QLocalSocket* socket);

    QString lockPath_;
    QString socketPath_;
    MachineLock lock_;
    QLocalServer server_;
    std::function<void()> onShow_;
};

}  // namespace zel
