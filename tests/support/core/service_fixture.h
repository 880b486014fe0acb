#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "service/service_host.h"
#include "support/core/window_fixture.h"
#include "support/core/window_queue.h"

namespace zel::test {

// A service over the test's files, clock and zip, with no database; its thread is the test's:
// what the service posts runs when the test lets it.
class ServiceFixture : public WindowTest {
protected:
    explicit ServiceFixture(std::function<PeerAccess(const PeerIdentity&)> access,
                            ConnectionFactory database = [] { return std::make_unique<NoDatabase>(); })
        : host_{{MachineServices{files, clock, zip, zip, LocaleFormats::turkish(), programFolder(), std::move(database),
                                 [] { return std::string("TESTPC"); }, {}, {}, &systemLog, &mail,
                                 PasswordScope::Machine},
                 "1.0.0", queue_.poster(), [this] { queue_.runWaiting(); }, std::move(access)}} {
        writeFile(settingsFile(), "");
    }
    // Lets the service's thread work until `done` holds (the database answers on its own thread).
    bool until(const std::function<bool()>& done) { return queue_.runUntil(done, std::chrono::seconds(20)); }

    WindowQueue queue_;
    ServiceHost host_;
};

}  // namespace zel::test
