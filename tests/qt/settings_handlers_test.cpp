#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QTest>

#include "qt/toolkit.h"
#include "support/qt/window_fixture.h"

namespace zel::test {
namespace {

namespace fs = std::filesystem;

int lineCount(const std::string& text) {
    int n = 0;
    for (std::size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2)) ++n;
    return n;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", start)) {
        out.push_back(text.substr(start, p - start));
        start = p + 2;
    }
    return out;
}

using SettingsHandlersTest = QtWindowTest;

TEST_F(SettingsHandlersTest, ClickingASwitchWritesAllFourteenLines) {
    auto& w = window();
    form().Form_Load();
    w.show();
    // Off and on alternate; the grey state set by the file goes off at the next click.
    struct Step {
        int before;
        const char* written;
    };
    for (const Step& step : {Step{1, "0"}, Step{0, "1"}, Step{1, "0"}, Step{2, "0"}}) {
        setCheckValue(*w.chkYedek2, step.before);
        QTest::mouseClick(w.chkYedek2, Qt::LeftButton, {}, QPoint(8, w.chkYedek2->height() / 2));
        const std::string text = readFile(settingsFile());
        ASSERT_EQ(lineCount(text), 14);
        auto lines = linesOf(text);
        EXPECT_EQ(lines[10], step.written) << "clicked at " << step.before;
        EXPECT_EQ(checkValue(*w.chkYedek2), std::stoi(step.written));
        EXPECT_EQ(lines[0], "c:\\brevund");
        EXPECT_EQ(lines[13], "12:00:00");
    }
}

TEST_F(SettingsHandlersTest, TypingSavesNothingUntilTheBoxIsLeft) {
    auto& w = window();
    form().Form_Load();
    w.show();
    QApplication::setActiveWindow(&w);
    w.txtHedef[1]->setFocus();
    QApplication::processEvents();
    const std::string beforeTyping = readFile(settingsFile());  // focus moves on showing may have saved
    w.txtHedef[1]->selectAll();
    QTest::keyClicks(w.txtHedef[1], "d:\\yeni");
    EXPECT_EQ(readFile(settingsFile()), beforeTyping);
    w.txtKaynak[2]->setFocus();
    QApplication::processEvents();
    auto lines = linesOf(readFile(settingsFile()));
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[3], "d:\\yeni");
}

TEST_F(SettingsHandlersTest, LeavingABoxSavesOnlyWhenTheFocusMovesToAnotherControl) {
    const std::string handMade = "c:\\el\nc:\\yapim\n";  // LF line ends, as an editor may leave them
    writeFile(settingsFile(), handMade);
    auto& w = window();
    form().Form_Load();
    struct Case {
        Qt::FocusReason reason;
        bool saves;
    };
    for (const Case& c : {Case{Qt::ActiveWindowFocusReason, false}, Case{Qt::PopupFocusReason, false},
                          Case{Qt::MenuBarFocusReason, false}, Case{Qt::TabFocusReason, true},
                          Case{Qt::BacktabFocusReason, true}, Case{Qt::MouseFocusReason, true}}) {
        writeFile(settingsFile(), handMade);
        QFocusEvent out(QEvent::FocusOut, c.reason);
        QApplication::sendEvent(w.txtKaynak[1], &out);
        EXPECT_EQ(readFile(settingsFile()) != handMade, c.saves) << "focus reason " << c.reason;
    }
}

TEST_F(SettingsHandlersTest, PastedLineBreaksNeverReachTheBoxOrTheFile) {
    auto& w = window();
    form().Form_Load();
    w.show();
    w.txtHedef[0]->setFocus();
    w.txtHedef[0]->selectAll();
    QApplication::clipboard()->setText(QStringLiteral("d:\\yedek\r\nd:\\ikinci\t"));
    w.txtHedef[0]->paste();
    EXPECT_EQ(w.txtHedef[0]->text(), QStringLiteral("d:\\yedekd:\\ikinci"));
    w.dtYedek1->setTime(QTime(4, 0, 0));  // any save
    auto lines = linesOf(readFile(settingsFile()));
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[1], "d:\\yedekd:\\ikinci");
}

TEST_F(SettingsHandlersTest, LongLinesAndUndefinedBytesSurviveAnUnrelatedSave) {
    // Line 1 longer than a text box holds by default; line 2 as an editor saved it in UTF-8.
    const std::string longLine = "c:\\" + std::string(40000, 'k');
    const std::string utf8Line = "c:\\Yede\xC5\x9Fler";
    const std::string rest =
        "\r\nc:\\a\r\nc:\\b\r\nc:\\a\r\nc:\\b\r\nc:\\a\r\nc:\\b\r\n1\r\n05:00:00\r\n1\r\n"
        "17:00:00\r\n1\r\n12:00:00\r\n";
    writeFile(settingsFile(), longLine + "\r\n" + utf8Line + rest);
    auto& w = window();
    form().Form_Load();
    w.dtYedek1->setTime(QTime(4, 0, 0));
    w.dtYedek1->setTime(QTime(5, 0, 0));  // back as it was: every byte as before
    EXPECT_EQ(readFile(settingsFile()), longLine + "\r\n" + utf8Line + rest);
}

TEST_F(SettingsHandlersTest, EachChangeInTheLastRowSavesTheExtraFileAndOnlyIt) {
    const std::string handMade = "c:\\el\nc:\\yapim\n";  // any save of the first file would rewrite it
    writeFile(settingsFile(), handMade);
    auto& w = window();
    form().Form_Load();
    w.show();
    struct Step {
        const char* what;
        std::function<void()> act;
        const char* written;
    };
    const auto click = [&] {
        QTest::mouseClick(w.chkKacan, Qt::LeftButton, {}, QPoint(8, w.chkKacan->height() / 2));
    };
    const Step steps[] = {
        {"a click on chkKacan", click, "SaklanacakYedek=0\r\nKacanYedek=1\r\n"},
        {"12 typed into udSakla",
         [&] {
             w.udSakla->selectAll();
             QTest::keyClicks(w.udSakla, "12");
         },
         "SaklanacakYedek=12\r\nKacanYedek=1\r\n"},
        {"the up arrow", [&] { QTest::keyClick(w.udSakla, Qt::Key_Up); },
         "SaklanacakYedek=13\r\nKacanYedek=1\r\n"},
        {"a third digit, and a fourth that would pass 999",
         [&] {
             QTest::keyClick(w.udSakla, Qt::Key_End);
             QTest::keyClicks(w.udSakla, "45");
         },
         "SaklanacakYedek=134\r\nKacanYedek=1\r\n"},
        {"another click", click, "SaklanacakYedek=134\r\nKacanYedek=0\r\n"},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(readFile(extraFile()), step.written) << step.what;
        EXPECT_EQ(readFile(settingsFile()), handMade) << step.what;
    }
}

}  // namespace
}  // namespace zel::test
