#include "remote/place_factory.h"

#include "platform/security/password_vault.h"
#include "mail/curl_common.h"
#include "remote/folder_place.h"
#include "remote/s3_place.h"

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
    // Keys go under the prefix as under a folder.
    std::string prefix = settings.prefix;
    if (!prefix.empty() && prefix.back() != '/') prefix += '/';
    S3Config config;
    config.endpoint = settings.address;
    config.region = settings.region;
    config.bucket = settings.bucket;
    config.prefix = prefix;
    config.keyId = settings.user;
    config.secret = secret;
    config.speedLimitKb = settings.speedLimitKb;
    config.lockDays = settings.lockDays;
    config.lockMode = settings.lockMode;
    config.caFile = programCaFile();
    return std::make_shared<S3Place>(std::move(config));
}

}  // namespace zel
