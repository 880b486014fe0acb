#include <QTest>

#include <condition_variable>
#include <mutex>

#include "support/ui/window_fixture.h"
#include "ui/toolkit.h"

namespace zel::test {
namespace {

// A server that does not answer: opening waits until the test lets it go, then fails.
class HungDatabase final : public DatabaseConnection {
public:
    struct Gate {
        std::mutex m;
        std::condition_variable cv;
        bool open = false;
        bool entered = false;
    };
    explicit HungDatabase(std::shared_ptr<Gate> gate) : gate_(std::move(gate)) {}
    void open(const std::string&) override {
        std::unique_lock lock(gate_->m);
        gate_->entered = true;
        gate_->cv.notify_all();
        gate_->cv.wait(lock, [this] { return gate_->open; });
        throw DatabaseError("timeout expired", "HYT00");
    }
    int state() const override { return 0; }
    QueryResult execute(const std::string&) override { throw DatabaseError("closed", "08003"); }

private:
    std::shared_ptr<Gate> gate_;
};

using StartupTest = WindowTest;

TEST_F(StartupTest, WithoutADatabaseTheProgramStillStartsAndLoadsItsSettings) {
    writeFile(settingsFile(), "c:\\k\r\nc:\\h\r\n");
    auto& w = window();
    EXPECT_NO_THROW(w.Form_Load());
    EXPECT_TRUE(w.settingsLoaded());
    EXPECT_EQ(w.txtKaynak[0]->text(), QStringLiteral("c:\\k"));
}

TEST_F(StartupTest, HungServerKeepsNeitherTheWindowNorTheIconFromAppearing) {
    auto gate = std::make_shared<HungDatabase::Gate>();
    connections = [gate] { return std::make_unique<HungDatabase>(gate); };
    writeFile(settingsFile(), "c:\\k\r\n");
    auto& w = window();
    w.Form_Load();  // returns although the opening it asked for never ends
    {
        std::unique_lock lock(gate->m);
        ASSERT_TRUE(gate->cv.wait_for(lock, std::chrono::seconds(10), [&] { return gate->entered; }));
    }
    EXPECT_TRUE(w.settingsLoaded());
    w.show();
    EXPECT_TRUE(tray.present);
    w.Timer5_Timer();  // a poll waits behind the opening instead of holding the window
    EXPECT_EQ(w.lblInfo->text(), QStringLiteral("Status Check 09:07:00"));
    {
        std::lock_guard lock(gate->m);
        gate->open = true;
    }
    gate->cv.notify_all();
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
