#include "remote/place_factory.h"

#include "platform/security/password_vault.h"
#include "remote/folder_place.h"

namespace zel {

std::shared_ptr<SecondPlace> makeSecondPlace(const RemoteSettings& settings, FileSystem& files, ShareLogon logon,
                                             std::string& failure) {
    if (settings.kind == RemoteKind::None) {
        failure = "uzak kopya kapalı";
        return nullptr;
    }
    if (failure = remoteSettingsProblem(settings); !failure.empty()) return nullptr;
    std::string secret;
    if (!settings.secret.empty()) {
        const std::optional<std::string> revealed = revealPassword(settings.secret);
        if (!revealed) {
            failure = "kayıtlı parola okunamıyor; parolayı yeniden girin";
            return nullptr;
        }
        secret = *revealed;
    }
    if (settings.kind == RemoteKind::Folder)
        return std::make_shared<FolderPlace>(files, settings.address, settings.speedLimitKb,
                                             FolderPlace::Share{settings.user, secret, std::move(logon)});
    failure = "S3 bu sürümde kullanılamıyor";
    return nullptr;
}

}  // namespace zel
