#include "widgets/message_box.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
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

// A worker is never made to wait for a click: it is answered No at once.
TEST(MessageBoxSinkTest, AWorkerIsAnsweredNo) {
    ui::MessageBoxSink sink;
    bool answer = true;
    std::thread([&] { answer = sink.Ask("Replace them?"); }).join();
    EXPECT_FALSE(answer);
}

}  // namespace
