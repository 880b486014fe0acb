#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "support/qt/window_fixture.h"
#include "qt/toolkit.h"

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

// A server that answers every statement and notes it.
class NotingDatabase final : public DatabaseConnection {
public:
    struct Log {
        std::mutex m;
        std::vector<std::string> statements;
        bool saw(const std::string& s) {
            std::lock_guard lock(m);
            return std::find(statements.begin(), statements.end(), s) != statements.end();
        }
    };
    explicit NotingDatabase(std::shared_ptr<Log> log) : log_(std::move(log)) {}
    void open(const std::string&) override { open_ = true; }
    int state() const override { return open_ ? 1 : 0; }
    QueryResult execute(const std::string& statement) override {
        std::lock_guard lock(log_->m);
        log_->statements.push_back(statement);
        return {};
    }

private:
    std::shared_ptr<Log> log_;
    bool open_ = false;
};

class StartupTest : public WindowTest {
protected:
    // Answers the next modal message box after `afterMs`, noting what it showed.
    void answerMessageBoxAfter(int afterMs) {
        QTimer::singleShot(afterMs, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr) << "no message box is open";
            shownText = box->text();
            shownTitle = box->windowTitle();
            shownIcon = box->icon();
            buttons = box->buttons().size();
            askedBeforeOk = instance.asked;
            clockWhileOpen = window().lblTime->text();
            box->button(QMessageBox::Ok)->click();
        });
    }
    bool waitUntil(const std::function<bool()>& done) { return QTest::qWaitFor(done, 10000); }

    QString shownText, shownTitle, clockWhileOpen;
    QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
    qsizetype buttons = 0;
    int askedBeforeOk = -1;
};

TEST_F(StartupTest, SecondCopySaysSoAsksTheFirstToShowItselfAndEnds) {
    auto statements = std::make_shared<NotingDatabase::Log>();
    connections = [statements] { return std::make_unique<NotingDatabase>(statements); };
    instance.anotherRuns = true;
    writeFile(settingsFile(), "c:\\k\r\nc:\\h\r\n");
    auto& w = window();
    answerMessageBoxAfter(1300);  // more than a tick of every timer that ticks by the second
    w.Form_Load();
    EXPECT_EQ(shownText, QStringLiteral("Program zaten \u00e7al\u0131\u015f\u0131yor!"));
    EXPECT_EQ(shownTitle, QString());
    EXPECT_EQ(shownIcon, QMessageBox::Warning);
    EXPECT_EQ(buttons, 1);
    EXPECT_EQ(askedBeforeOk, 0) << "the first copy was asked before OK";
    EXPECT_EQ(clockWhileOpen, QString()) << "the copy that gives way ran its clock and schedule";
    EXPECT_EQ(instance.asked, 1);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("()*!@#(*"));
    EXPECT_EQ(programEnds, 1);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(tray.adds, 0);
    // Its database opening was asked for first; the request table is left alone.
    ASSERT_TRUE(waitUntil([&] { return statements->saw("set schema 'pub'"); }));
    QTest::qWait(200);
    EXPECT_FALSE(statements->saw("DELETE FROM zelDisconnect"));
    EXPECT_FALSE(w.settingsLoaded());
    EXPECT_EQ(w.txtKaynak[0]->text(), QStringLiteral("c:\\brevund"));
    EXPECT_EQ(readFile(settingsFile()), "c:\\k\r\nc:\\h\r\n");
}

TEST_F(StartupTest, TheCopyThatStaysClearsOldRequestsAndShowsItselfWhenAsked) {
    auto statements = std::make_shared<NotingDatabase::Log>();
    connections = [statements] { return std::make_unique<NotingDatabase>(statements); };
    auto& w = window();
    w.Form_Load();
    EXPECT_TRUE(waitUntil([&] { return statements->saw("DELETE FROM zelDisconnect"); }));
    EXPECT_TRUE(w.settingsLoaded());
    w.setWindowStateValue(1);  // hidden in the tray
    ASSERT_TRUE(instance.onShow);
    instance.onShow();  // a later copy asks
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.windowStateValue(), 0);
}

TEST_F(StartupTest, ShowRequestDuringARunShowsTheWindowAndTheRunFinishes) {
    installZipStandIn("sleep 1");
    std::filesystem::create_directories(drive('c') / "brevund");
    auto& w = window();
    w.Form_Load();
    for (int i = 1; i < 4; ++i) w.txtKaynak[i]->setText(QString());
    w.setWindowStateValue(1);
    bool shownDuring = false;
    QTimer::singleShot(300, [&] {
        instance.onShow();
        shownDuring = w.isVisible() && !w.cmdCopy->isEnabled();
    });
    w.cmdCopy_Click();
    EXPECT_TRUE(shownDuring);
    EXPECT_TRUE(w.cmdCopy->isEnabled());
    EXPECT_FALSE(w.archiveName().empty());
}

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
