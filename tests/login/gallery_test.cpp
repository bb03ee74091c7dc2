// Pictures of the login-side windows as a user meets them, saved for the gallery, with the
// checks that each shows what the user needs to read.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>

#include "login/address_book.h"
#include "login/confirm_authority_dlg.h"
#include "login/connecting_dlg.h"
#include "login/copy_program_dlg.h"
#include "login/information_dlg.h"
#include "login/mpeg4_stream_dlg.h"
#include "login/search_dlg.h"
#include "login_fixture.h"
#include "test_support/pump.h"
#include "test_support/screenshot.h"
#include "test_support/temp_folder.h"

namespace {

using test_support::SaveScreenshot;

class LoginGalleryTest : public test_support::LoginFixture {};

TEST_F(LoginGalleryTest, InformationWindowTextStandsOutFromItsBackground) {
    CApplicationInfoDialog info;
    ASSERT_TRUE(info.OnInitDialog());
    const QImage picture = SaveScreenshot(info, "information");
    // The version line against the background bitmap: the text must differ clearly from it.
    const QRect line(160, 50, 120, 14);
    QImage background =
        info.m_hBackgroundBitmap.scaled(info.size()).convertToFormat(QImage::Format_RGB32);
    const QColor backgroundColour = background.pixelColor(line.center());
    int textPixels = 0;
    for (int y = line.top(); y <= line.bottom(); ++y) {
        for (int x = line.left(); x <= line.right(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            textPixels += std::abs(c.lightness() - backgroundColour.lightness()) > 100 ? 1 : 0;
        }
    }
    EXPECT_GT(textPixels, 20);
}

TEST_F(LoginGalleryTest, AddressBookColumnsAreNamed) {
    test_support::TempFolder folder;
    platform::SetProgramFolder(folder.Path());
    CAddressBookDialog book;
    ASSERT_TRUE(book.OnInitDialog());
    const char* entries[][4] = {{"office", "192.168.1.10", "80", "front desk"},
                                {"depot", "10.0.0.7", "8080", "loading bay"}};
    for (const auto& entry : entries) {
        book.OnAdd();
        book.m_editUser->setText(entry[0]);
        book.m_editIPAddress->setText(entry[1]);
        book.m_editMajorPort->setText(entry[2]);
        book.m_editComment->setText(entry[3]);
        book.OnAddOk();
    }
    SaveScreenshot(book, "address-book");
    book.OnAdd();
    SaveScreenshot(book, "address-book-add");

    QStringList headings;
    for (const QLabel* label : book.findChildren<QLabel*>()) {
        if (label->isVisible()) {
            headings << label->text();
        }
    }
    EXPECT_EQ(headings, (QStringList{"User", "IP Address", "Port", "Comment"}));
    // Each edit is tied to its heading and says what it takes while empty.
    for (const QLineEdit* edit :
         {book.m_editUser, book.m_editIPAddress, book.m_editMajorPort, book.m_editComment}) {
        EXPECT_FALSE(edit->placeholderText().isEmpty());
    }
}

TEST_F(LoginGalleryTest, SearchListShowsEveryColumnWithoutScrolling) {
    CSearchDlg search;
    QTreeWidget& list = *search.m_DeviceList;
    // Each column holds the widest value it can show, the DEVICE column every kind's name.
    list.addTopLevelItem(new QTreeWidgetItem(
        {"255.255.255.255", "ff:ff:ff:ff:ff:ff", "65535", "4CH NETWORK MPEG2 DVR", "PREVIOUS"}));
    for (const LanDeviceKind& kind : LanDeviceKinds()) {
        EXPECT_GT(list.columnWidth(3), list.fontMetrics().horizontalAdvance(kind.text))
            << kind.text;
    }
    for (int c = 0; c < list.columnCount(); ++c) {
        EXPECT_GT(list.columnWidth(c),
                  list.fontMetrics().horizontalAdvance(list.topLevelItem(0)->text(c)))
            << c;
    }
    SaveScreenshot(search, "search");
    EXPECT_LE(list.header()->length(), list.viewport()->width());
    EXPECT_FALSE(list.horizontalScrollBar()->isVisible());
}

// The texts a window shows, sorted; each one is checked to lie wholly inside the window and to
// have the room it needs, so none is cut short.
QStringList ShownTexts(QWidget& window) {
    QStringList texts;
    for (QWidget* child : window.findChildren<QWidget*>()) {
        QString text;
        int needed = 0;
        int room = 0;
        if (const auto* label = qobject_cast<QLabel*>(child)) {
            text = label->text();
            needed = label->fontMetrics().horizontalAdvance(text);
            room = label->contentsRect().width();
        } else if (const auto* button = qobject_cast<QAbstractButton*>(child)) {
            text = button->text();
            needed = button->sizeHint().width();
            room = button->width();
        }
        if (text.isEmpty() || !child->isVisible()) {
            continue;
        }
        const QRect box(child->mapTo(&window, QPoint(0, 0)), child->size());
        EXPECT_TRUE(window.rect().contains(box)) << text.toStdString();
        EXPECT_LE(needed, room) << text.toStdString();
        texts << text;
    }
    texts.sort();
    return texts;
}

TEST_F(LoginGalleryTest, TheSmallDialogsShowTheirWholeTexts) {
    CConnectingDlg connecting;
    connecting.OnTimer(CConnectingDlg::kDotsTimer);
    SaveScreenshot(connecting, "connecting");
    const QString moving = connecting.m_staticText->text();
    EXPECT_TRUE(moving.startsWith("Connecting.")) << moving.toStdString();
    EXPECT_EQ(ShownTexts(connecting), (QStringList{"Cancel", moving}));

    CConfirmAuthorityDlg authority;
    SaveScreenshot(authority, "confirm-authority");
    EXPECT_EQ(ShownTexts(authority), (QStringList{"CANCEL", "OK", "Password :", "User name :"}));
    EXPECT_TRUE(authority.m_editUserName->isVisible());
    EXPECT_TRUE(authority.m_editPassword->isVisible());

    CMpeg4StreamDlg stream;
    SaveScreenshot(stream, "mpeg4-stream");
    EXPECT_EQ(ShownTexts(stream), (QStringList{"GOP :", "Image Height :", "Image Width :", "OK",
                                               "Target Bit Rate :", "kbps"}));

    // The copy of an empty folder runs to its end at once: the whole percentage and OK.
    test_support::TempFolder source;
    test_support::TempFolder target;
    CCopyProgramDlg copy(nullptr, source.Path().string(), target.Path().string());
    copy.OnInitDialog();
    copy.show();
    EXPECT_EQ(ShownTexts(copy), (QStringList{"  0%", "OK"}));
    EXPECT_FALSE(copy.m_btnOK->isEnabled());
    ASSERT_TRUE(test_support::PumpUntil([&copy] { return copy.m_btnOK->isEnabled(); }));
    SaveScreenshot(copy, "copy-program");
    EXPECT_EQ(ShownTexts(copy), (QStringList{"100%", "OK"}));
}

}  // namespace
