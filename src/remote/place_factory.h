#pragma once

#include <memory>
#include <string>

#include "platform/files/file_system.h"
#include "platform/files/share_session.h"
#include "remote/second_place.h"
#include "settings/remote_settings.h"

namespace zel {

// The place the settings name, its secret revealed for it alone; nullptr, with why, for settings
// that cannot be used or a secret that cannot be read here.
std::shared_ptr<SecondPlace> makeSecondPlace(const RemoteSettings& settings, FileSystem& files, ShareLogon logon,
                                             std::string& failure);

}  // namespace zel
