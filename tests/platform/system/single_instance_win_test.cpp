#include "platform/system/single_instance_win.h"
#include "platform/system/wide_text_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "support/core/access_list_win.h"
#include "support/core/temp_dir.h"

namespace zel {
namespace {

void pumpMessages() {
    for (int i = 0; i < 20; ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(5);
    }
}

TEST(Win32SingleInstance, SecondCopyGivesWayAndItsRequestShowsTheFirst) {
    const std::string key = instanceKey("c:\\zel\\test-first");
    Win32SingleInstance first(key);
    int shown = 0;
    ASSERT_TRUE(first.claim([&] { ++shown; }));
    {
        Win32SingleInstance second(key);
        EXPECT_FALSE(second.claim([] {}));
        second.askRunningCopyToShow();
        pumpMessages();
        EXPECT_EQ(shown, 1);
    }
    // A request with another word is no request.
    HWND listener = FindWindowExW(HWND_MESSAGE, nullptr, widen(key).c_str(), nullptr);
    ASSERT_NE(listener, nullptr);
    PostMessageW(listener, RegisterWindowMessageW(L"ZelYedekShowWindow"), 1, 0);
    pumpMessages();
    EXPECT_EQ(shown, 1);
}

TEST(Win32SingleInstance, ALaterCopysRequestToMakeWayCarriesItsProcessToTheHolder) {
    const std::string key = instanceKey("c:\\zel\\test-devral");
    Win32SingleInstance first(key, Win32SingleInstance::Scope::Session);
    unsigned long asked = 0;
    int shown = 0;
    first.setHandOverRequest([&](unsigned long pid) { asked = pid; });
    ASSERT_TRUE(first.claim([&] { ++shown; }));
    Win32SingleInstance second(key, Win32SingleInstance::Scope::Session);
    second.setHandOverRequest([](unsigned long) { ADD_FAILURE() << "a copy without the claim heard it"; });
    EXPECT_FALSE(second.claim([] {}));
    second.askRunningCopyToHandOver();
    pumpMessages();
    EXPECT_EQ(asked, GetCurrentProcessId());
    EXPECT_EQ(shown, 0);
}

TEST(Win32SingleInstance, OnlyTheSuccessorAWindowStartedMakesItGiveWay) {
    const struct {
        const char* what;
        unsigned long successor;
        bool running;
        unsigned long asking;
        bool makesWay;
    } cases[] = {
        {"its own successor", 4242, true, 4242, true},
        {"another process", 4242, true, 4243, false},
        {"its successor has ended (the number may be anyone's now)", 4242, false, 4242, false},
        {"it started none", 0, false, 0, false},
        {"it started none, a process claims 0", 0, true, 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isOwnSuccessor(c.successor, c.running, c.asking), c.makesWay) << c.what;
}

TEST(Win32SingleInstance, AnotherFolderRunsBesideOnlyItsUserMayOpenItAndAnEndedCopyBlocksNothing) {
    const std::string key = instanceKey("c:\\zel\\test-second");
    auto first = std::make_unique<Win32SingleInstance>(key);
    ASSERT_TRUE(first->claim([] {}));
    // Machine-wide: the name that any user's copy, in any session, asks for.
    HANDLE seen = OpenMutexW(SYNCHRONIZE | READ_CONTROL, FALSE, widen("Global\\" + key).c_str());
    EXPECT_NE(seen, nullptr);
    // Only SYSTEM, the Administrators and this copy's user may open it: no one else may hold it.
    std::set<std::string> admitted;
    for (const auto& [sid, rights] : test::accessListOf(seen, SE_KERNEL_OBJECT).grants) admitted.insert(sid);
    EXPECT_EQ(admitted,
              (std::set<std::string>{test::kSystemSid, test::kAdministratorsSid, test::testUserSid()}));
    if (seen) CloseHandle(seen);
    Win32SingleInstance otherFolder(instanceKey("d:\\zel\\test-second"));
    EXPECT_TRUE(otherFolder.claim([] {}));
    first.reset();
    Win32SingleInstance next(key);
    EXPECT_TRUE(next.claim([] {}));
}

// Another user's copy may not open the mutex, which tells it as surely as finding it that one runs.
TEST(Win32SingleInstance, AMutexThatExistsOrMayNotBeOpenedIsAnotherCopys) {
    const struct {
        bool opened;
        DWORD error;
        bool held;
    } cases[] = {
        {true, ERROR_SUCCESS, false},          // made now: this copy is the first
        {true, ERROR_ALREADY_EXISTS, true},    // this user's running copy
        {false, ERROR_ACCESS_DENIED, true},    // another user's running copy
        {false, ERROR_INVALID_HANDLE, false},  // the name is another kind of object's: nothing told
    };
    for (const auto& c : cases)
        EXPECT_EQ(heldByAnotherCopy(c.opened, c.error), c.held) << c.opened << " " << c.error;
}

TEST(Win32SingleInstance, OneFolderHasOneKeyHoweverItIsSpelled) {
    test::TempDir tmp;
    const std::filesystem::path folder = tmp / "Zel Yedek Programi";
    std::filesystem::create_directories(folder);
    const std::string spelled = narrow(folder.wstring());
    const std::string key = instanceKeyOfFolder(spelled);

    std::string lower = spelled;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    ASSERT_NE(lower, spelled);
    EXPECT_EQ(instanceKeyOfFolder(lower), key);
    EXPECT_EQ(instanceKeyOfFolder(spelled + "\\"), key);

    wchar_t shortName[MAX_PATH] = {};
    const DWORD n = GetShortPathNameW(folder.wstring().c_str(), shortName, MAX_PATH);
    ASSERT_GT(n, 0u);
    ASSERT_NE(std::wstring(shortName, n), folder.wstring()) << "no 8.3 name to spell the folder with";
    EXPECT_EQ(instanceKeyOfFolder(narrow(std::wstring(shortName, n))), key);

    std::filesystem::create_directories(tmp / "Zel Yedek Programi 2");
    EXPECT_NE(instanceKeyOfFolder(narrow((tmp / "Zel Yedek Programi 2").wstring())), key);
    // A folder that cannot be opened keys by its full path.
    EXPECT_EQ(instanceKeyOfFolder("c:\\yok\\zel yedek"), instanceKey("C:\\YOK\\ZEL YEDEK"));
}

}  // namespace
}  // namespace zel
