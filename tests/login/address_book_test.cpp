#include "login/address_book.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <fstream>
#include <functional>
#include <iterator>

#include "login/ip_record_file.h"
#include "platform/paths.h"
#include "test_support/pump.h"
#include "test_support/recording_message_sink.h"
#include "test_support/temp_folder.h"
#include "test_support/window_exits.h"

namespace {

using test_support::RecordingMessageSink;

std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

std::string RecordBytes(const IPRecord& record) {
    const IPRecordBytes bytes = EncodeIPRecord(record);
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

TEST(IPRecordTest, RecordLayoutAndTextLimits) {
    const IPRecord record{"admin", "192.168.1.10", std::string(200, 'c'), 8080};
    const IPRecordBytes bytes = EncodeIPRecord(record);
    EXPECT_EQ(bytes[0], 0x12);
    EXPECT_EQ(bytes[132], 0x4C);
    EXPECT_EQ(bytes[264], 0x8A);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[136])), "192.168.1.10");
    EXPECT_EQ(bytes[396], 8080 & 0xFF);
    EXPECT_EQ(bytes[397], 8080 >> 8);
    EXPECT_EQ(bytes[268 + 127], 0) << "a long text keeps its terminating zero";
    const auto decoded = DecodeIPRecord(bytes.data());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->comment, std::string(127, 'c'));
    EXPECT_EQ(decoded->port, 8080);

    // A field filled to its end without a zero is read up to the field's end, never further.
    IPRecordBytes full = EncodeIPRecord({"u", "h", "", 80});
    std::fill(full.begin() + 4, full.begin() + 132, 'u');
    EXPECT_EQ(DecodeIPRecord(full.data())->user, std::string(128, 'u'));

    for (const std::size_t codeAt : {0u, 132u, 264u}) {
        IPRecordBytes bad = bytes;
        bad[codeAt] ^= 1;
        EXPECT_FALSE(DecodeIPRecord(bad.data())) << "check code at " << codeAt;
    }
}

// A typed address must be one the sender can reach: digits and dots only are sent as a dotted
// address, anything else is looked up as a host name.
TEST(IPRecordTest, AddressTextsAreDottedAddressesOrHostNames) {
    const struct {
        const char* text;
        bool valid;
    } cases[] = {
        {"192.168.1.10", true},
        {"10.0.0.1", true},
        {"0.0.0.0", true},
        {"255.255.255.255", true},
        {"nvr.local", true},
        {"cam-1", true},
        {"dvr_2.site-b.example", true},
        {"1.2.3.4a", true},  // a host name whose labels happen to be digits
        {"999.1.1.1", false},
        {"1.2.3", false},
        {"1..2.3", false},
        {"256.0.0.1", false},
        {"1.2.3.4.", false},
        {"192.168.1.010", false},  // read as octal by some, as decimal by others
        {"", false},
        {"nvr..local", false},
        {".nvr", false},
        {"nvr.", false},
        {"my nvr", false},
        {"nvr:80", false},
        {"caf\xc3\xa9", false},
        // The resolver reads these as numbers, not as names.
        {"0x7f.1", false},
        {"0x7f000001", false},
        {"0x11.0.0.1", false},
        {"0X7F.0.0.1", false},
        {"1.0x7f", false},
        {"0xnvr", true},
        {"deadbeef", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsDeviceAddressText(c.text), c.valid) << c.text;
    }
    EXPECT_TRUE(IsDeviceAddressText(std::string(63, 'a') + "." + std::string(63, 'b')));
    EXPECT_FALSE(IsDeviceAddressText(std::string(64, 'a')));
    std::string longest = std::string(63, 'a');
    while (longest.size() + 64 <= 253) {
        longest += "." + std::string(63, 'a');
    }
    longest += "." + std::string(253 - longest.size() - 1, 'a');
    ASSERT_EQ(longest.size(), 253u);
    EXPECT_TRUE(IsDeviceAddressText(longest));
    EXPECT_FALSE(IsDeviceAddressText(longest + "a"));
}

class AddressBookTest : public ::testing::Test {
protected:
    AddressBookTest() { platform::SetProgramFolder(folder.Path()); }
    ~AddressBookTest() override { platform::SetProgramFolder({}); }

    std::filesystem::path File() const { return folder.Path() / "IPRecord.dat"; }

    // Opens a book, lets `use` work on it and closes it (which writes the file back).
    template <typename Use>
    void WithBook(Use use) {
        CAddressBookDialog book;
        ASSERT_TRUE(book.OnInitDialog());
        use(book);
    }

    static void Add(CAddressBookDialog& book, const std::string& user, const std::string& address,
                    const std::string& port, const std::string& comment = "") {
        book.OnAdd();
        book.m_editUser->setText(QString::fromStdString(user));
        book.m_editIPAddress->setText(QString::fromStdString(address));
        book.m_editMajorPort->setText(QString::fromStdString(port));
        book.m_editComment->setText(QString::fromStdString(comment));
        book.OnAddOk();
    }

    test_support::TempFolder folder;
    RecordingMessageSink messages;
};

TEST_F(AddressBookTest, NewBookWithOneEntryIsOneRecord) {
    WithBook([](CAddressBookDialog& book) {
        EXPECT_EQ(book.m_iUserNumber, 0);
        Add(book, "admin", "10.0.0.7", "8080", "front door");
    });
    const std::string bytes = ReadBytes(File());
    ASSERT_EQ(bytes.size(), 400u);
    EXPECT_EQ(bytes, RecordBytes({"admin", "10.0.0.7", "front door", 8080}));
    WithBook([](CAddressBookDialog& book) {
        ASSERT_EQ(book.m_iUserNumber, 1);
        EXPECT_EQ(book.m_IPAddressList->item(0)->text(), "10.0.0.7");
        EXPECT_EQ(book.m_MajorPortList->item(0)->text(), "8080");
        EXPECT_EQ(book.m_CommentList->item(0)->text(), "front door");
    });
}

// A file cut inside a record lost an entry: it is kept aside whole, the book opens with the whole
// records, the user is told once where the file went, and the book is written back beside it.
TEST_F(AddressBookTest, ACutFileIsKeptAsideAndTheWholeEntriesOpen) {
    const std::string a = RecordBytes({"a", "1.1.1.1", "", 80});
    const std::string b = RecordBytes({"b", "h", "", 81});
    const std::string c = RecordBytes({"c", "h", "", 82});
    const struct {
        std::string bytes;
        int whole;
        const char* carried;
    } cuts[] = {
        {a.substr(0, 390), 0, ""},
        {a + b.substr(0, 399), 1, " with the one entry that could still be read"},
        {a + b + c.substr(0, 7), 2, " with the 2 entries that could still be read"},
    };
    const std::filesystem::path aside = folder.Path() / "IPRecord.dat.damaged";
    for (const auto& cut : cuts) {
        SCOPED_TRACE(cut.bytes.size());
        std::filesystem::remove(aside);
        WriteBytes(File(), cut.bytes);
        RecordingMessageSink shown;
        WithBook([&](CAddressBookDialog& book) {
            EXPECT_EQ(book.m_iUserNumber, cut.whole);
            Add(book, "new", "10.0.0.9", "80");
        });
        EXPECT_EQ(ReadBytes(aside), cut.bytes);
        EXPECT_EQ(ReadBytes(File()), (a + b).substr(0, 400 * static_cast<std::size_t>(cut.whole)) +
                                         RecordBytes({"new", "10.0.0.9", "", 80}));
        EXPECT_EQ(shown.Texts(),
                  std::vector<std::string>{
                      "The address book IPRecord.dat was damaged. It was kept as " +
                      aside.string() + " and a new one was started" + cut.carried + "."});
    }
    // Opened again, the book is whole: nothing more is moved or told.
    RecordingMessageSink shown;
    WithBook([](CAddressBookDialog& book) { EXPECT_EQ(book.m_iUserNumber, 3); });
    EXPECT_TRUE(shown.Texts().empty());
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "IPRecord.dat.damaged-2"));
}

// A book larger than the program ever writes (a sparse 2 GB file here) is not read: it is kept
// aside and a new book opens empty. With every keep-aside name taken, the book is left as it is
// and the box says what fills the names.
TEST_F(AddressBookTest, AnOverLargeBookIsKeptAsideUnreadAndFullNamesAreSaid) {
    WriteBytes(File(), RecordBytes({"a", "1.1.1.1", "", 80}));
    ASSERT_EQ(::truncate(File().c_str(), off_t{2} << 30), 0);
    const std::filesystem::path aside = folder.Path() / "IPRecord.dat.damaged";
    WithBook([](CAddressBookDialog& book) { EXPECT_EQ(book.m_iUserNumber, 0); });
    EXPECT_EQ(std::filesystem::file_size(aside), std::uintmax_t{2} << 30);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{
                                    "The address book IPRecord.dat was damaged. It was kept as " +
                                    aside.string() + " and a new one was started."});

    const std::string cut = RecordBytes({"b", "h", "", 81}) + "x";
    WriteBytes(File(), cut);
    for (int n = 2; n <= 999; ++n) {
        WriteBytes(folder.Path() / ("IPRecord.dat.damaged-" + std::to_string(n)), "");
    }
    CAddressBookDialog book;
    EXPECT_FALSE(book.OnInitDialog());
    EXPECT_EQ(ReadBytes(File()), cut);
    EXPECT_EQ(messages.Texts().back(),
              "The address book " + File().string() +
                  " is damaged, and earlier damaged copies fill every name it could be kept under "
                  "(IPRecord.dat.damaged to IPRecord.dat.damaged-999). Move some of them away. The "
                  "file is left as it is.");
}

// A book the user made private stays private, and a book kept elsewhere through a link stays
// there: the save replaces the link's target.
TEST_F(AddressBookTest, TheSaveKeepsTheFilesModeAndLink) {
    test_support::TempFolder elsewhere;
    const std::filesystem::path target = elsewhere.Path() / "book.dat";
    WriteBytes(target, RecordBytes({"a", "1.1.1.1", "", 80}));
    std::filesystem::permissions(
        target, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::filesystem::create_symlink(target, File());
    WithBook([](CAddressBookDialog& book) { Add(book, "b", "h", "81"); });
    EXPECT_TRUE(std::filesystem::is_symlink(File()));
    EXPECT_EQ(ReadBytes(target),
              RecordBytes({"a", "1.1.1.1", "", 80}) + RecordBytes({"b", "h", "", 81}));
    EXPECT_EQ(std::filesystem::status(target).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(AddressBookTest, BadCheckCodeEndsTheDialogAndKeepsTheFile) {
    std::string bytes = RecordBytes({"a", "1.1.1.1", "", 80}) + RecordBytes({"b", "h", "", 81});
    bytes[400 + 132] = 0;  // the second record's address check code
    WriteBytes(File(), bytes);
    {
        CAddressBookDialog book;
        EXPECT_EQ(book.DoModal(), CAddressBookDialog::kBookFailed);
    }
    EXPECT_EQ(ReadBytes(File()), bytes);
    EXPECT_EQ(messages.Texts(),
              std::vector<std::string>{"The address book " + File().string() +
                                       " holds a damaged entry. It was not opened and is left "
                                       "as it is."});
}

TEST_F(AddressBookTest, AFailedSaveIsShown) {
    WithBook([this](CAddressBookDialog& book) {
        Add(book, "admin", "10.0.0.7", "8080");
        // A folder in the file's place: the rename over it fails.
        std::filesystem::remove(File());
        std::filesystem::create_directory(File());
        std::ofstream(File() / "keep") << "x";
    });
    EXPECT_EQ(messages.Texts(),
              std::vector<std::string>{"The address book could not be saved: " + File().string() +
                                       " is not a regular file (a pipe, a device or a folder), so "
                                       "it was not opened."});
}

TEST_F(AddressBookTest, AddChecksNamesAndPortRange) {
    const std::string empty = "User name & ip address cant be empty,try again";
    const std::string range = "Port number can't be out of range 1 ~ 65535,try again";
    const auto address = [](const char* text) {
        return "IP address \"" + std::string(text) +
               "\" is no address: type four numbers 0 ~ 255 separated by dots, or a host "
               "name,try again";
    };
    const struct {
        const char* user;
        const char* address;
        const char* port;
        std::string message;  // empty: added
    } cases[] = {
        {"", "10.0.0.1", "80", empty},
        {"u", "", "80", empty},
        {"u", "h", "0", range},
        {"u", "h", "65536", range},
        {"u", "h", "8o", range},
        {"u", "h", "", range},
        {"u", "host.lan", "65535", ""},
        {"u", "1.2.3.4", "1", ""},
        {"u", "999.1.1.1", "80", address("999.1.1.1")},
        {"u", "1..2.3", "80", address("1..2.3")},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(File());
        RecordingMessageSink seen;
        CAddressBookDialog book;
        ASSERT_TRUE(book.OnInitDialog());
        Add(book, c.user, c.address, c.port);
        EXPECT_EQ(book.m_iUserNumber, c.message.empty() ? 1 : 0) << c.address << " " << c.port;
        EXPECT_EQ(seen.Texts(), c.message.empty() ? std::vector<std::string>{}
                                                  : std::vector<std::string>{c.message});
        // A refused entry keeps the edits open with what was typed; an added one closes them.
        EXPECT_EQ(book.m_editUser->isVisibleTo(&book), !c.message.empty()) << c.port;
        if (!c.message.empty()) {
            EXPECT_EQ(book.m_editUser->text(), c.user);
            EXPECT_EQ(book.m_editIPAddress->text(), c.address);
            EXPECT_EQ(book.m_editMajorPort->text(), c.port);
            EXPECT_FALSE(book.m_btnCancel->isVisibleTo(&book));
        }
    }
}

TEST_F(AddressBookTest, ARefusedEntryCanBePutRightOrLeftAlone) {
    WithBook([this](CAddressBookDialog& book) {
        Add(book, "gate", "10.0.0.9", "70000", "north gate");
        ASSERT_EQ(messages.Texts().size(), 1u);
        // The user corrects the port only and confirms again.
        book.m_editMajorPort->setText("7000");
        book.OnAddOk();
        ASSERT_EQ(book.m_iUserNumber, 1);
        EXPECT_EQ(book.Entries()[0], (IPRecord{"gate", "10.0.0.9", "north gate", 7000}));

        // The entry's own cancel button and Escape leave ADD and EDIT; the book stays open.
        book.show();
        const auto cancels = {std::function<void()>([&] { book.m_btnEntryCancel->click(); }),
                              std::function<void()>([&] {
                                  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape,
                                                   Qt::NoModifier);
                                  QApplication::sendEvent(book.m_editComment, &escape);
                              })};
        for (const auto& cancel : cancels) {
            book.OnAdd();
            book.m_editUser->setText("typed");
            book.m_editIPAddress->setText("1.2.3.4");
            book.m_editMajorPort->setText("80");
            cancel();
            EXPECT_FALSE(book.m_editUser->isVisible());
            EXPECT_TRUE(book.m_btnAdd->isVisible());
            EXPECT_TRUE(book.isVisible());
            EXPECT_EQ(book.m_iUserNumber, 1);

            book.OnEditButton();
            book.m_editIPAddress->setText("9.9.9.9");
            cancel();
            EXPECT_TRUE(book.m_UserList->isEnabled());
            EXPECT_TRUE(book.isVisible());
            EXPECT_EQ(book.Entries()[0].address, "10.0.0.9");
        }
        // With the entry closed, Escape closes the book as before.
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(book.m_UserList, &escape);
        EXPECT_FALSE(book.isVisible());
    });
    EXPECT_EQ(ReadBytes(File()), RecordBytes({"gate", "10.0.0.9", "north gate", 7000}));
}

// The book as a user works it: ADD by a click or from the keyboard, the entry typed field by
// field, Enter from the field the user is in; a refused entry stays open for the fix; Enter in
// the lists takes the chosen entry.
TEST_F(AddressBookTest, TypingAfterAddFillsTheEntryAndEnterConfirmsIt) {
    using test_support::KeyToFocus;
    using test_support::TypeToFocus;
    // The book open and active, as the login window opens it.
    const auto bringUp = [](CAddressBookDialog& book) {
        ASSERT_TRUE(book.OnInitDialog());
        book.show();
        book.activateWindow();
        ASSERT_TRUE(test_support::PumpUntil([&book] { return book.isActiveWindow(); }));
    };
    const auto tabTo = [](QWidget* target) {
        for (int tabs = 0; tabs < 20 && QApplication::focusWidget() != target; ++tabs) {
            KeyToFocus(Qt::Key_Tab);
        }
        ASSERT_EQ(QApplication::focusWidget(), target);
    };
    const struct {
        const char* name;
        std::function<void(CAddressBookDialog&)> add;
    } adds[] = {
        {"a click on ADD",
         [](CAddressBookDialog& book) { QTest::mouseClick(book.m_btnAdd, Qt::LeftButton); }},
        {"Tab to ADD and Space",
         [&tabTo](CAddressBookDialog& book) {
             tabTo(book.m_btnAdd);
             KeyToFocus(Qt::Key_Space);
         }},
        {"Tab to ADD and Enter",
         [&tabTo](CAddressBookDialog& book) {
             tabTo(book.m_btnAdd);
             KeyToFocus(Qt::Key_Return);
         }},
        // An empty book has nothing to choose: the keys start at ADD.
        {"Space as the empty book opens", [](CAddressBookDialog&) { KeyToFocus(Qt::Key_Space); }},
        {"Enter as the empty book opens", [](CAddressBookDialog&) { KeyToFocus(Qt::Key_Return); }},
    };
    // Enter from the port, the last field typed; or from the address, typed last after the port.
    const struct {
        const char* name;
        std::function<void()> type;
    } entries[] = {
        {"Enter in Port",
         [] {
             TypeToFocus("office");
             KeyToFocus(Qt::Key_Tab);
             TypeToFocus("192.168.1.10");
             KeyToFocus(Qt::Key_Tab);
             TypeToFocus("8080");
             KeyToFocus(Qt::Key_Return);
         }},
        {"Enter in IP Address",
         [] {
             TypeToFocus("office");
             KeyToFocus(Qt::Key_Tab);
             KeyToFocus(Qt::Key_Tab);
             TypeToFocus("8080");
             QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
             TypeToFocus("192.168.1.10");
             KeyToFocus(Qt::Key_Enter);
         }},
    };
    for (const auto& add : adds) {
        for (const auto& entry : entries) {
            SCOPED_TRACE(std::string(add.name) + ", " + entry.name);
            std::filesystem::remove(File());
            CAddressBookDialog book;
            bringUp(book);
            add.add(book);
            ASSERT_EQ(QApplication::focusWidget(), book.m_editUser);
            entry.type();
            ASSERT_EQ(book.m_iUserNumber, 1);
            EXPECT_EQ(book.Entries()[0], (IPRecord{"office", "192.168.1.10", "", 8080}));
            EXPECT_FALSE(book.m_editUser->isVisible());
            EXPECT_TRUE(book.isVisible());
            EXPECT_TRUE(messages.Texts().empty());
        }
    }

    std::filesystem::remove(File());
    CAddressBookDialog book;
    bringUp(book);
    QTest::mouseClick(book.m_btnAdd, Qt::LeftButton);
    for (const char* field : {"gate", "999.1.1.1", "80", "north"}) {
        TypeToFocus(field);
        KeyToFocus(Qt::Key_Tab);
    }
    book.m_editMajorPort->setFocus(Qt::TabFocusReason);
    KeyToFocus(Qt::Key_Return);
    EXPECT_EQ(book.m_iUserNumber, 0) << "no such address";
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_TRUE(book.m_editIPAddress->isVisible());
    EXPECT_EQ(book.m_editComment->text(), "north");

    book.m_editIPAddress->setFocus(Qt::TabFocusReason);
    book.m_editIPAddress->clear();
    TypeToFocus("192.168.1.11");
    KeyToFocus(Qt::Key_Return);
    ASSERT_EQ(book.m_iUserNumber, 1);
    EXPECT_EQ(book.Entries()[0], (IPRecord{"gate", "192.168.1.11", "north", 80}));
    EXPECT_EQ(QApplication::focusWidget(), book.m_UserList);

    KeyToFocus(Qt::Key_Return);
    EXPECT_FALSE(book.isVisible());
    EXPECT_EQ(book.result(), CAddressBookDialog::kEntrySelected);
    EXPECT_EQ(book.m_strIPAddress, "192.168.1.11");
    EXPECT_EQ(book.m_iMajorPort, 80);
}

// The book's own CANCEL and SELECT leave it; the entry's OK and Cancel and Escape only close
// the entry, and the window manager's close leaves the book from any state.
TEST_F(AddressBookTest, EveryStateCanBeLeft) {
    using W = CAddressBookDialog;
    using test_support::CloseByWindowManager;
    using test_support::PressButton;
    using test_support::PressEscape;
    const auto button = [](QPushButton* W::*member) {
        return [member](W& w) -> QAbstractButton* { return w.*member; };
    };
    const std::vector<test_support::WindowExit<W>> book = {
        PressButton<W>("CANCEL", button(&W::m_btnCancel)),
        PressButton<W>("SELECT", button(&W::m_btnSelect)), CloseByWindowManager<W>(),
        PressEscape<W>()};
    const std::vector<test_support::WindowExit<W>> entry = {
        PressButton<W>("the entry's OK", button(&W::m_btnEditOk), false),
        PressButton<W>("the entry's Cancel", button(&W::m_btnEntryCancel), false),
        CloseByWindowManager<W>(), PressEscape<W>(false)};
    const auto make = [] { return std::make_unique<W>(); };
    test_support::LeaveEveryWay<W>(make, &W::DoModal, {{"an empty book", [](W&) {}, book}});
    ASSERT_TRUE(WriteIPRecordFile(File(), {{"office", "192.168.1.10", "", 80}}));
    test_support::LeaveEveryWay<W>(
        make, &W::DoModal,
        {
            {"an entry chosen", [](W&) {}, book},
            {"a new entry, empty fields", [](W& w) { w.m_btnAdd->click(); }, entry},
            {"a new entry refused",
             [this](W& w) {
                 w.m_btnAdd->click();
                 w.m_editUser->setText("gate");
                 w.m_editIPAddress->setText("10.0.0.9");
                 w.m_editMajorPort->setText("70000");
                 const std::size_t shown = messages.Texts().size();
                 w.m_btnEditOk->click();
                 ASSERT_EQ(messages.Texts().size(), shown + 1);
             },
             entry},
            {"an entry being edited", [](W& w) { w.m_btnEdit->click(); }, entry},
        });
}

TEST_F(AddressBookTest, EditChangesTheSelectedRowWithTheChecksOfAdd) {
    WithBook([](CAddressBookDialog& book) {
        Add(book, "a", "1.1.1.1", "80");
        Add(book, "b", "2.2.2.2", "81");
        book.m_CommentList->setCurrentRow(0);
        book.OnEditButton();
        EXPECT_EQ(book.m_editIPAddress->text(), "1.1.1.1");
        EXPECT_FALSE(book.m_UserList->isEnabled());
        book.m_editIPAddress->setText("9.9.9.9");
        book.m_editMajorPort->setText("0");
        book.OnAddOk();
        EXPECT_EQ(book.Entries()[0].port, 80) << "port 0 refused on edit too";
        EXPECT_EQ(book.m_editIPAddress->text(), "9.9.9.9") << "what was typed stays";
        EXPECT_FALSE(book.m_UserList->isEnabled());

        book.m_editMajorPort->setText("9000");
        book.OnAddOk();
        EXPECT_EQ(book.Entries()[0], (IPRecord{"a", "9.9.9.9", "", 9000}));
        EXPECT_EQ(book.m_IPAddressList->item(0)->text(), "9.9.9.9");
        EXPECT_EQ(book.m_MajorPortList->item(0)->text(), "9000");
        EXPECT_EQ(book.m_UserList->currentRow(), 0);
    });
    EXPECT_EQ(messages.Texts(),
              std::vector<std::string>{"Port number can't be out of range 1 ~ 65535,try again"});
    EXPECT_EQ(ReadBytes(File()).substr(0, 400), RecordBytes({"a", "9.9.9.9", "", 9000}));
}

TEST_F(AddressBookTest, DeleteAndEditNeedARow) {
    WithBook([](CAddressBookDialog& book) {
        book.OnEditButton();
        book.OnDelete();
        Add(book, "a", "1.1.1.1", "80");
        Add(book, "b", "2.2.2.2", "81");
        Add(book, "c", "3.3.3.3", "82");
        book.m_UserList->setCurrentRow(1);
        book.OnDelete();
        EXPECT_EQ(book.m_iUserNumber, 2);
        for (QListWidget* list :
             {book.m_UserList, book.m_IPAddressList, book.m_MajorPortList, book.m_CommentList}) {
            EXPECT_EQ(list->count(), 2);
            EXPECT_EQ(list->currentRow(), 1) << "the last row is selected";
        }
        EXPECT_EQ(book.m_IPAddressList->item(1)->text(), "3.3.3.3");
    });
    EXPECT_EQ(messages.Texts(),
              (std::vector<std::string>{"Please select a setting", "Please select a setting"}));
    EXPECT_EQ(ReadBytes(File()),
              RecordBytes({"a", "1.1.1.1", "", 80}) + RecordBytes({"c", "3.3.3.3", "", 82}));
}

TEST_F(AddressBookTest, ListsScrollTogether) {
    WithBook([](CAddressBookDialog& book) {
        for (int i = 0; i < 10; ++i) {
            Add(book, "u" + std::to_string(i), "h", std::to_string(100 + i));
        }
        EXPECT_FALSE(book.m_ScrollBar->isEnabled());
        Add(book, "u10", "h", "110");
        EXPECT_TRUE(book.m_ScrollBar->isEnabled());
        book.m_MajorPortList->setCurrentRow(3);
        EXPECT_EQ(book.m_UserList->currentRow(), 3);
        EXPECT_EQ(book.m_CommentList->currentRow(), 3);
        EXPECT_EQ(book.m_ScrollBar->value(), 3);
        EXPECT_EQ(book.m_iSelected, 3);
        book.m_ScrollBar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        EXPECT_EQ(book.m_IPAddressList->currentRow(), 8);
        book.m_ScrollBar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        EXPECT_EQ(book.m_UserList->currentRow(), 10) << "clamped to the last row";
    });
}

TEST_F(AddressBookTest, SelectHandsTheEntryToTheCaller) {
    WriteBytes(File(),
               RecordBytes({"a", "1.1.1.1", "x", 80}) + RecordBytes({"b", "cam.lan", "y", 81}));
    CAddressBookDialog book;
    QTimer::singleShot(0, &book, [&book] {
        book.m_UserList->setCurrentRow(-1);
        book.OnSelect();  // no row: only the message
        book.m_IPAddressList->setCurrentRow(0);
        book.m_CommentList->setCurrentRow(1);
        book.OnSelect();
    });
    QTimer::singleShot(5000, &book, [&book] { book.done(-2); });
    EXPECT_EQ(book.DoModal(), CAddressBookDialog::kEntrySelected);
    EXPECT_EQ(book.m_strUser, "b");
    EXPECT_EQ(book.m_strIPAddress, "cam.lan");
    EXPECT_EQ(book.m_strComment, "y");
    EXPECT_EQ(book.m_iMajorPort, 81);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Please select an item"});
}

TEST_F(AddressBookTest, SelectInAnEmptyBookFails) {
    CAddressBookDialog book;
    QTimer::singleShot(0, &book, [&book] { book.OnSelect(); });
    EXPECT_EQ(book.DoModal(), CAddressBookDialog::kBookFailed);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"It couldn't select any data"});
}

}  // namespace
