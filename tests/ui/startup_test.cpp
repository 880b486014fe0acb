#include <QTest>

#include "support/ui/window_fixture.h"
#include "ui/toolkit.h"

namespace zel::test {
namespace {

using StartupTest = WindowTest;

TEST_F(StartupTest, WithoutADatabaseTheProgramStillStartsAndLoadsItsSettings) {
    writeFile(settingsFile(), "c:\\k\r\nc:\\h\r\n");
    auto& w = window();
    EXPECT_NO_THROW(w.Form_Load());
    EXPECT_TRUE(w.settingsLoaded());
    EXPECT_EQ(w.txtKaynak[0]->text(), QStringLiteral("c:\\k"));
    EXPECT_EQ(w.dbConnection().state(), 0);
}

TEST_F(StartupTest, PollWithoutADatabaseWritesOnlyTheStatus) {
    auto& w = window();
    w.Form_Load();
    clock.set({2026, 12, 7, 14, 5, 9});
    w.Timer5_Timer();
    EXPECT_EQ(w.lblInfo->text(), QStringLiteral("Status Check 14:05:09"));
}

TEST_F(StartupTest, BackupWithoutADatabaseStillFinishes) {
    installZip();
    auto& w = window();
    w.Form_Load();
    w.cmdCopy_Click();  // the record fails quietly
    EXPECT_TRUE(w.cmdCopy->isEnabled());
    EXPECT_FALSE(w.lblSon->text().isEmpty());
    EXPECT_FALSE(w.archiveName().empty());
}

}  // namespace
}  // namespace zel::test
