#include "platform/security/program_trust.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

// root and the service's user (1000) may change what the service runs; nobody else, through any
// place on the way down to it.
TEST(ProgramTrust, EveryPlaceDownToTheProgramBelongsToATrustedUserAndGivesNoWrite) {
    const std::vector<std::uint32_t> trusted{0, 1000};
    const PlaceMode root{"/", 0, 0, 0755}, opt{"/opt", 0, 0, 0755}, tmp{"/tmp", 0, 0, 01777};
    struct Case {
        const char* what;
        std::vector<PlaceMode> places;
        std::string who;
    };
    for (const Case& c : {
             Case{"root's own", {root, opt, {"/opt/p.bat", 0, 0, 0755}}, ""},
             Case{"the service user's", {root, opt, {"/opt/p.bat", 1000, 1000, 0700}}, ""},
             Case{"a user's file", {root, opt, {"/opt/p.bat", 1001, 0, 0755}}, "/opt/p.bat: kullanıcı 1001"},
             Case{"a user's folder", {root, {"/opt", 1001, 0, 0755}, {"/opt/p.bat", 0, 0, 0755}}, "/opt: kullanıcı 1001"},
             Case{"group may write", {root, {"/opt", 0, 50, 0775}, {"/opt/p.bat", 0, 0, 0755}}, "/opt: grup 50"},
             Case{"everyone may write", {root, opt, {"/opt/p.bat", 0, 0, 0757}}, "/opt/p.bat: herkes"},
             Case{"root's folder in /tmp", {root, tmp, {"/tmp/d", 0, 0, 0755}, {"/tmp/d/p", 0, 0, 0755}}, ""},
             Case{"a user's folder in /tmp", {root, tmp, {"/tmp/d", 1001, 0, 0755}}, "/tmp: herkes"},
             Case{"a world-writable folder without the sticky bit", {root, {"/tmp", 0, 0, 0777}, {"/tmp/d", 0, 0, 0755}},
                  "/tmp: herkes"},
             Case{"the program itself sticky", {root, {"/opt/p", 0, 0, 01777}}, "/opt/p: herkes"},
         }) {
        EXPECT_EQ(untrustedWritersOf(c.places, trusted), c.who) << c.what;
    }
}

}  // namespace
}  // namespace zel
