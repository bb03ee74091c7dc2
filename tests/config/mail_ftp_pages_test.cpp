#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <functional>
#include <memory>

#include "config/my_system_dialog.h"
#include "config_fixture.h"
#include "ui/string_table.h"

namespace {

using test_support::ConfigFixture;

// `text` zero-filled to `width` bytes.
std::string Field(std::string text, std::size_t width) {
    text.resize(width, '\0');
    return text;
}

// Types over the whole text of an edit, as a paste does.
void Type(QLineEdit& edit, const QString& text) {
    edit.selectAll();
    edit.insert(text);
}

class MailFtpPagesTest : public ConfigFixture {
protected:
    MailFtpPagesTest() {
        PutDeviceBytes("SMTP", 0, std::string(4, '\x11'));
        PutDeviceBytes("SMTP", 4, std::string(1, '\2'));
        PutDeviceBytes("SMTP", 5, std::string(1, '\1'));
        PutDeviceBytes("SMTP", 8, Field("smtp.example.org", 64) + Field("cam@x.org", 16));
        PutDeviceBytes("SMTP", 88, Field("dyndns", 16));
        // Recipients in slots 0 and 2; slot 3 is empty but holds left-over bytes.
        PutDeviceBytes("SMTP", 136, Field("ann <ann@x.org>", 48));
        PutDeviceBytes("SMTP", 232, Field("bob <bob@y.org>", 48));
        PutDeviceBytes("SMTP", 280, std::string(1, '\0') + std::string(47, '\x77'));
        PutDeviceBytes(
            "SMTP", 328,
            Field("cam.example.org", 48) + Field("mailuser", 32) + Field("mailpass", 32));

        PutDeviceBytes("FTP", 0, std::string(4, '\x22'));
        PutDeviceBytes("FTP", 4, Field("ftp.example.org", 32));
        // A user name without room for its zero byte, and junk after the password's zero.
        PutDeviceBytes("FTP", 36, std::string(16, 'u'));
        PutDeviceBytes("FTP", 52, "pw" + std::string(1, '\0') + std::string(13, '\x33'));
        PutDeviceBytes("FTP", 68, Field("/upload", 32));
        PutDeviceBytes("FTP", 100, std::string("\x15\x00\x44\x55", 4));
    }

    std::unique_ptr<MySystemDialog> OpenSheet() {
        FetchSections();
        fetchedSmtp = *device.Section("SMTP");
        fetchedFtp = *device.Section("FTP");
        auto sheet = std::make_unique<MySystemDialog>("System setting", nullptr, 0);
        sheet->m_wait = [](std::uint32_t) {};
        sheet->OnInitDialog();
        return sheet;
    }

    // Answers the next "Mail Account Edit" with an address (OK) or closes it (CANCEL); records
    // the prompt it showed.
    void AnswerEditDialog(const std::string& address, bool ok = true) {
        QTimer::singleShot(0, [this, address, ok] {
            auto* dialog = qobject_cast<CMailAccountEditDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            prompts.push_back(dialog->m_lblPrompt.text().toStdString());
            shownAddresses.push_back(dialog->m_editAddress.text().toStdString());
            dialog->m_editAddress.setText(QString::fromStdString(address));
            (ok ? dialog->m_btnOK : dialog->m_btnCancel).click();
        });
    }

    static std::vector<std::string> Rows(const MailPropertyPage& page) {
        std::vector<std::string> rows;
        for (int i = 0; i < page.m_listRecipients.topLevelItemCount(); ++i) {
            rows.push_back(page.m_listRecipients.topLevelItem(i)->text(0).toStdString());
        }
        return rows;
    }

    static void Select(MailPropertyPage& page, int row) {
        page.m_listRecipients.clearSelection();
        if (row >= 0) {
            page.m_listRecipients.topLevelItem(row)->setSelected(true);
        }
    }

    std::string fetchedSmtp;
    std::string fetchedFtp;
    std::vector<std::string> prompts;
    std::vector<std::string> shownAddresses;
};

TEST_F(MailFtpPagesTest, MailPageOpensFromTheSmtpSection) {
    const struct {
        int choice;
        bool yes, no, loginEnabled;
    } cases[] = {{2, true, false, true}, {0, false, true, false}, {5, false, false, true}};
    for (const auto& c : cases) {
        PutDeviceBytes("SMTP", 4, std::string(1, static_cast<char>(c.choice)));
        auto sheet = OpenSheet();
        MailPropertyPage& page = sheet->m_MailPage;
        sheet->SetActivePage(&page);
        EXPECT_EQ(page.m_radioYes.isChecked(), c.yes) << c.choice;
        EXPECT_EQ(page.m_radioNo.isChecked(), c.no) << c.choice;
        EXPECT_EQ(page.m_editUser.isEnabled(), c.loginEnabled) << c.choice;
        EXPECT_EQ(page.m_editPassword.isEnabled(), c.loginEnabled) << c.choice;
        EXPECT_EQ(page.m_editServer.text(), "smtp.example.org");
        EXPECT_EQ(page.m_editMailFrom.text(), "cam@x.org");
        EXPECT_EQ(page.m_editUser.text(), "mailuser");
        EXPECT_EQ(page.m_editPassword.text(), "mailpass");
        EXPECT_EQ(Rows(page), (std::vector<std::string>{"ann@x.org", "bob@y.org"}));
        EXPECT_EQ(page.m_bRecipientCount, 2);
        EXPECT_EQ(page.m_listRecipients.headerItem()->text(0), "Mail Account");
    }
}

TEST(MailAccountTest, ConvertsBetweenStoredAndShownForms) {
    const struct {
        const char* stored;
        const char* shown;
    } roundTrips[] = {{"ann <ann@x.org>", "ann@x.org"}, {"a.b <a.b@c@d>", "a.b@c@d"}, {"", ""}};
    for (const auto& c : roundTrips) {
        EXPECT_EQ(MailPropertyPage::ConvertMailAccount(c.stored, MailAccountForm::Shown), c.shown);
        EXPECT_EQ(MailPropertyPage::ConvertMailAccount(c.shown, MailAccountForm::Stored), c.stored);
    }
    // Stored texts that another program wrote: a display name, or no brackets at all.
    EXPECT_EQ(MailPropertyPage::ConvertMailAccount("Ann Lee <al@x.org> x", MailAccountForm::Shown),
              "al@x.org");
    EXPECT_EQ(MailPropertyPage::ConvertMailAccount("al@x.org", MailAccountForm::Shown), "al@x.org");
    EXPECT_EQ(MailPropertyPage::ConvertMailAccount("a>b <c@d>", MailAccountForm::Shown), "c@d");
}

TEST(MailAccountTest, AddressesThatCannotBeStoredAreRefused) {
    // 19 + " <" + 25 + ">": the 47 characters a recipient slot holds.
    const std::string fits = std::string(19, 'n') + "@" + std::string(5, 'h');
    const struct {
        std::string address;
        bool refused;
    } cases[] = {
        {"", false},          {"a@b", false},  {fits, false},   {fits + "h", true},
        {"no-at-sign", true}, {"a<b@c", true}, {"a@b>c", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(!CheckMailAddress(c.address).empty(), c.refused) << c.address;
    }
    EXPECT_EQ(MailPropertyPage::ConvertMailAccount(fits, MailAccountForm::Stored).size(), 47u);
}

TEST(MailAccountTest, TheEditDialogStaysOpenForAnAddressItCannotStore) {
    test_support::RecordingMessageSink messages;
    CMailAccountEditDlg dialog("Add : ", "");
    dialog.m_editAddress.setText("nobody");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{CheckMailAddress("nobody")});
    EXPECT_EQ(dialog.m_strAddress, "");
    dialog.m_editAddress.setText("some@body");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.m_strAddress, "some@body");
}

TEST_F(MailFtpPagesTest, RecipientsAreAddedEditedAndDeleted) {
    auto sheet = OpenSheet();
    MailPropertyPage& page = sheet->m_MailPage;
    sheet->SetActivePage(&page);

    // Nothing selected.
    Select(page, -1);
    page.m_btnEdit.click();
    page.m_btnDelete.click();
    EXPECT_EQ(messages.Texts(),
              (std::vector<std::string>{ui::LoadString(4089), ui::LoadString(4088)}));
    EXPECT_EQ(page.m_fRecipientsChanged, 0u);

    // Cancelled and empty answers change nothing.
    AnswerEditDialog("x@y.z", false);
    page.m_btnAdd.click();
    AnswerEditDialog("");
    page.m_btnAdd.click();
    EXPECT_EQ(page.m_bRecipientCount, 2);
    EXPECT_EQ(page.m_fRecipientsChanged, 0u);

    AnswerEditDialog("cy@z.org");
    page.m_btnAdd.click();
    Select(page, 1);
    AnswerEditDialog("");
    page.m_btnEdit.click();
    AnswerEditDialog("dan@w.org");
    page.m_btnEdit.click();
    EXPECT_EQ(prompts,
              (std::vector<std::string>{"Add : ", "Add : ", "Add : ", "Edit :", "Edit :"}));
    EXPECT_EQ(shownAddresses.back(), "bob@y.org");
    EXPECT_EQ(Rows(page), (std::vector<std::string>{"ann@x.org", "dan@w.org", "cy@z.org"}));
    EXPECT_EQ(page.m_fRecipientsChanged, 1u);

    AnswerEditDialog("eve@v.org");
    page.m_btnAdd.click();
    EXPECT_EQ(page.m_bRecipientCount, 4);
    // A fifth address: refused before any dialog opens.
    bool dialogOpened = false;
    QTimer::singleShot(0, [&dialogOpened] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            dialogOpened = true;
            modal->close();
        }
    });
    const std::size_t boxes = messages.Texts().size();
    page.m_btnAdd.click();
    QApplication::processEvents();
    EXPECT_FALSE(dialogOpened);
    EXPECT_EQ(messages.Texts().size(), boxes + 1);

    Select(page, 0);
    page.m_btnDelete.click();
    EXPECT_EQ(page.m_bRecipientCount, 3);
    EXPECT_EQ(Rows(page), (std::vector<std::string>{"dan@w.org", "cy@z.org", "eve@v.org"}));
}

TEST_F(MailFtpPagesTest, AChangedRecipientListRewritesExactlyTheFourEntries) {
    PutDeviceBytes("SMTP", 136,
                   Field("Ann L\xe9"
                         "e <ann@x.org>",
                         48));
    auto sheet = OpenSheet();
    MailPropertyPage& page = sheet->m_MailPage;
    sheet->SetActivePage(&page);
    Select(page, 1);
    AnswerEditDialog("carl@z.org");
    page.m_btnEdit.click();
    Apply(*sheet);

    EXPECT_EQ(SentSections(), std::vector<std::string>{"SMTP"});
    std::string smtp = fetchedSmtp;
    // The untouched first row keeps the name the device had for it; the edited row is stored
    // in the program's own form; the rows close up and the rest of the area is zeros.
    smtp.replace(136, 192,
                 Field("Ann L\xe9"
                       "e <ann@x.org>",
                       48) +
                     Field("carl <carl@z.org>", 48) + std::string(96, '\0'));
    EXPECT_EQ(*device.Section("SMTP"), smtp);
    EXPECT_EQ(device.Section("SMTP")->substr(328, 48), Field("cam.example.org", 48));
    EXPECT_EQ(device.Section("SMTP")->substr(376, 32), Field("mailuser", 32));
}

TEST_F(MailFtpPagesTest, MailApplyRewritesOnlyTheChangedTexts) {
    auto sheet = OpenSheet();
    MailPropertyPage& page = sheet->m_MailPage;
    sheet->SetActivePage(&page);
    page.m_editServer.setText("mail.example.net");
    page.m_radioNo.click();
    EXPECT_FALSE(page.m_editUser.isEnabled());
    Apply(*sheet);

    std::string smtp = fetchedSmtp;
    smtp[4] = 0;
    smtp.replace(8, 64, Field("mail.example.net", 64));
    EXPECT_EQ(*device.Section("SMTP"), smtp);
    EXPECT_EQ(SentSections(), std::vector<std::string>{"SMTP"});
}

TEST_F(MailFtpPagesTest, AFailedMailSendShows4012AndTheFtpStepStillRuns) {
    Faults("/SetSysCfg.cgi", {.status = 500, .times = 1});
    auto sheet = OpenSheet();
    sheet->SetActivePage(&sheet->m_MailPage);
    sheet->m_MailPage.m_editMailFrom.setText("nvr@x.org");
    sheet->SetActivePage(&sheet->m_FtpPage);
    sheet->m_FtpPage.m_editDirectory.setText("/pictures");
    Apply(*sheet);

    EXPECT_EQ(messages.Texts(), std::vector<std::string>{ui::LoadString(4012)});
    EXPECT_EQ(SentSections(), (std::vector<std::string>{"SMTP", "FTP"}));
    EXPECT_EQ(device.Section("FTP")->substr(68, 32), Field("/pictures", 32));
    // The buffer keeps what the failed send carried.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&g_lpApp->m_SysCfg.SMTP[72]), 9),
              "nvr@x.org");
    EXPECT_EQ(sheet->result(), MySystemDialog::kResultApplied);
}

TEST_F(MailFtpPagesTest, FtpPageOpensFromTheSection) {
    auto sheet = OpenSheet();
    FTPPropertyPage& page = sheet->m_FtpPage;
    sheet->SetActivePage(&page);
    EXPECT_EQ(page.m_editServer.text(), "ftp.example.org");
    EXPECT_EQ(page.m_editUserName.text(), "") << "no zero byte within the field";
    EXPECT_EQ(page.m_editPassword.text(), "pw");
    EXPECT_EQ(page.m_editDirectory.text(), "/upload");
    EXPECT_EQ(page.m_editPort.text(), "21");
    EXPECT_EQ(page.m_nFtpPort, 21u);
}

TEST_F(MailFtpPagesTest, ThePortEditKeepsAValidPort) {
    auto sheet = OpenSheet();
    FTPPropertyPage& page = sheet->m_FtpPage;
    sheet->SetActivePage(&page);
    page.m_editServer.setText("typed.example.org");
    const std::string kPastedPage = "port " + std::string(300, '8');
    const struct {
        const char* typed;
        const char* shown;
        bool wrong;
    } cases[] = {
        {"2121", "2121", false},
        {"8a0", "80", false},
        {"0080", "80", false},
        {"65535", "65535", false},
        {"65536", "21", true},
        {"0", "21", true},
        // Far above the range, also where a 32-bit reading would wrap round to a small port.
        {"4294967376", "21", true},
        {"99999999999999999999", "21", true},
        // Longer than the digit filter takes.
        {kPastedPage.c_str(), "21", true},
        {"abc", "abc", false},
    };
    for (const auto& c : cases) {
        test_support::RecordingMessageSink boxes;
        page.m_nFtpPort = 1234;
        Type(page.m_editPort, c.typed);
        EXPECT_EQ(page.m_editPort.text(), c.shown) << c.typed;
        EXPECT_EQ(boxes.Texts(), c.wrong ? std::vector<std::string>{ui::LoadString(4054)}
                                         : std::vector<std::string>{})
            << c.typed;
        if (c.typed != std::string("abc")) {
            EXPECT_EQ(QString::number(page.m_nFtpPort), c.shown) << c.typed;
        } else {
            EXPECT_EQ(page.m_nFtpPort, 1234u) << "nothing left to read";
        }
    }
    // What the user typed elsewhere is left alone.
    EXPECT_EQ(page.m_editServer.text(), "typed.example.org");
}

TEST_F(MailFtpPagesTest, AnEmptyPortKeepsTheFtpPage) {
    auto sheet = OpenSheet();
    FTPPropertyPage& page = sheet->m_FtpPage;
    sheet->SetActivePage(&page);
    Type(page.m_editPort, "");
    sheet->SetActivePage(&sheet->m_AccountPage);
    EXPECT_EQ(sheet->m_tabs.currentWidget(), &page);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{ui::LoadString(4090)});
    Type(page.m_editPort, "21");
    sheet->SetActivePage(&sheet->m_AccountPage);
    EXPECT_EQ(sheet->m_tabs.currentWidget(), &sheet->m_AccountPage);
}

TEST_F(MailFtpPagesTest, FtpApplyRewritesOnlyWhatChanged) {
    const struct {
        const char* name;
        std::function<void(FTPPropertyPage&)> edit;
        std::size_t offset;
        std::string bytes;
    } cases[] = {
        {"password", [](FTPPropertyPage& p) { p.m_editPassword.setText("newpw"); }, 52,
         Field("newpw", 16)},
        {"server of 31 characters",
         [](FTPPropertyPage& p) { p.m_editServer.setText(QString(31, 's')); }, 4,
         std::string(31, 's') + '\0'},
        {"port", [](FTPPropertyPage& p) { Type(p.m_editPort, "2121"); }, 100,
         std::string("\x49\x08", 2)},
    };
    for (const auto& c : cases) {
        auto sheet = OpenSheet();
        sheet->SetActivePage(&sheet->m_FtpPage);
        c.edit(sheet->m_FtpPage);
        Apply(*sheet);
        std::string ftp = fetchedFtp;
        ftp.replace(c.offset, c.bytes.size(), c.bytes);
        EXPECT_EQ(*device.Section("FTP"), ftp) << c.name;
        EXPECT_EQ(SentSections(), std::vector<std::string>{"FTP"}) << c.name;
        // Start the next case from the device's original bytes.
        PutDeviceBytes("FTP", 0, fetchedFtp);
    }
    EXPECT_TRUE(messages.Texts().empty());
}

}  // namespace
