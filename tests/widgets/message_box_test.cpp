#include "widgets/message_box.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <thread>

#include "test_support/answer_dialog.h"

namespace {

// The real box's question: Yes and No with No the default, the answer as the user clicked.
TEST(MessageBoxSinkTest, AskReturnsTheButtonClicked) {
    ui::MessageBoxSink sink;
    for (const bool yes : {true, false}) {
        QString asked;
        bool noIsDefault = false;
        test_support::AnswerNextDialog<QMessageBox>([&](QMessageBox& box) {
            asked = box.text();
            noIsDefault = box.defaultButton() == box.button(QMessageBox::No);
            box.button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        EXPECT_EQ(sink.Ask("Replace them?"), yes);
        EXPECT_EQ(asked, "Replace them?");
        EXPECT_TRUE(noIsDefault);
    }
}

// A folder name the user chose, holding what would be markup: every box shows the characters as
// typed, in the box's own font, not a bold "x".
TEST(MessageBoxSinkTest, TextsAreShownAsTyped) {
    ui::MessageBoxSink sink;
    const std::string typed = "Replace the files in /home/u/<b>x</b> & co?";
    for (const bool ask : {true, false}) {
        QString shown;
        int shownWidth = 0;
        int typedWidth = 0;
        test_support::AnswerNextDialog<QMessageBox>([&](QMessageBox& box) {
            auto* label = box.findChild<QLabel*>("qt_msgbox_label");
            ASSERT_NE(label, nullptr);
            shown = label->text();
            shownWidth = label->sizeHint().width();
            typedWidth = label->fontMetrics().horizontalAdvance(QString::fromStdString(typed));
            box.button(ask ? QMessageBox::No : QMessageBox::Ok)->click();
        });
        if (ask) {
            EXPECT_FALSE(sink.Ask(typed));
        } else {
            sink.Show(typed);
        }
        EXPECT_EQ(shown.toStdString(), typed);
        // Laid out as plain text, the label is as wide as every typed character; as markup the
        // tags would take no room.
        EXPECT_GE(shownWidth, typedWidth) << (ask ? "question" : "message");
    }
}

// A worker is never made to wait for a click: it is answered No at once.
TEST(MessageBoxSinkTest, AWorkerIsAnsweredNo) {
    ui::MessageBoxSink sink;
    bool answer = true;
    std::thread([&] { answer = sink.Ask("Replace them?"); }).join();
    EXPECT_FALSE(answer);
}

}  // namespace
