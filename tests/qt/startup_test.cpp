#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <mutex>
#include <vector>

#include "qt/toolkit.h"
#include "support/qt/window_fixture.h"

namespace zel::test {
namespace {

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

class StartupTest : public QtWindowTest {
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
    form().Form_Load();
    EXPECT_EQ(shownText, QStringLiteral("Program zaten \u00e7al\u0131\u015f\u0131yor!"));
    // Blank, but not empty: an empty title shows the program's name.
    EXPECT_TRUE(!shownTitle.isEmpty() && shownTitle.trimmed().isEmpty()) << shownTitle.toStdString();
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
    EXPECT_FALSE(form().settingsLoaded());
    EXPECT_EQ(w.txtKaynak[0]->text(), QStringLiteral("c:\\brevund"));
    EXPECT_EQ(readFile(settingsFile()), "c:\\k\r\nc:\\h\r\n");
}

}  // namespace
}  // namespace zel::test
