#include <gtest/gtest.h>

#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

#include "config/dlg_get_path.h"
#include "test_support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using test_support::TempFolder;

void WriteText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

class FolderBrowserTest : public ::testing::Test {
protected:
    FolderBrowserTest() {
        fs::create_directories(root.Path() / "DATA" / "CLIPS");
        fs::create_directories(root.Path() / "Data2");
        fs::create_directories(root.Path() / "empty");
        WriteText(root.Path() / "file.txt", "not a folder");
        fs::create_directories(share.Path() / "backup");
        WriteText(mounts.Path() / "mounts",
                  "/dev/sda1 / ext4 rw 0 0\n"
                  "proc /proc proc rw 0 0\n"
                  "nas:/export " +
                      share.Path().string() +
                      " nfs4 rw 0 0\n"
                      "//server/my\\040share /mnt/x cifs rw 0 0\n");
    }

    static QTreeWidgetItem* Child(QTreeWidgetItem* item, const QString& text) {
        for (int i = 0; i < item->childCount(); ++i) {
            if (item->child(i)->text(0) == text) {
                return item->child(i);
            }
        }
        return nullptr;
    }

    TempFolder root;
    TempFolder share;
    TempFolder mounts;
};

TEST_F(FolderBrowserTest, FolderNamesAreShownAsWords) {
    EXPECT_EQ(CDlgGetPath::FormatItemName("PROGRAM FILES"), "Program files");
    EXPECT_EQ(CDlgGetPath::FormatItemName("DATA"), "Data");
    EXPECT_EQ(CDlgGetPath::FormatItemName("Data"), "Data");
    EXPECT_EQ(CDlgGetPath::FormatItemName("C:"), "C:");
    EXPECT_EQ(CDlgGetPath::FormatItemName(""), "");
}

TEST_F(FolderBrowserTest, TreeGrowsOnDemandAndHandsBackTheChosenFolder) {
    CDlgGetPath dialog(nullptr, {root.Path()}, mounts.Path() / "mounts");
    dialog.SetPath("/start/");
    dialog.OnInitDialog();
    ASSERT_EQ(dialog.m_ctlTree->topLevelItemCount(), 2);
    QTreeWidgetItem* top = dialog.m_ctlTree->topLevelItem(0);
    EXPECT_EQ(dialog.m_ctlTree->topLevelItem(1)->text(0), "Network Neighborhood");
    EXPECT_EQ(top->childCount(), 0) << "nothing read before expanding";

    top->setExpanded(true);
    ASSERT_EQ(top->childCount(), 3);
    top->setExpanded(false);
    top->setExpanded(true);
    EXPECT_EQ(top->childCount(), 3) << "read once";
    QTreeWidgetItem* data = Child(top, "Data");
    ASSERT_NE(data, nullptr);
    QTreeWidgetItem* empty = Child(top, "empty");
    empty->setExpanded(true);
    EXPECT_EQ(empty->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);

    // Opening a folder for the first time selects it: OK would take it as it stands.
    data->setExpanded(true);
    EXPECT_EQ(dialog.m_ctlTree->currentItem(), data);
    EXPECT_TRUE(dialog.m_btnOK->isEnabled());
    dialog.m_hNetworkRoot->setExpanded(true);
    EXPECT_EQ(dialog.m_ctlTree->currentItem(), dialog.m_hNetworkRoot);
    EXPECT_FALSE(dialog.m_btnOK->isEnabled());
    QTreeWidgetItem* clips = Child(data, "Clips");
    ASSERT_NE(clips, nullptr);
    dialog.m_ctlTree->setCurrentItem(clips);
    EXPECT_TRUE(dialog.m_btnOK->isEnabled());
    const std::string expected = (root.Path() / "DATA" / "CLIPS").string() + "/";
    EXPECT_EQ(dialog.GetItemPath(clips), expected);
    QTimer::singleShot(0, &dialog, [&dialog] { dialog.m_btnOK->click(); });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.GetPath(), expected);
}

TEST_F(FolderBrowserTest, AFolderNameThatIsNotValidTextStillLeadsToItsFolder) {
    const std::string name = "caf\xe9";  // a Latin-1 name on a UTF-8 system
    fs::create_directories(root.Path() / name / "inside");
    CDlgGetPath dialog(nullptr, {root.Path()}, mounts.Path() / "mounts");
    dialog.OnInitDialog();
    QTreeWidgetItem* top = dialog.m_ctlTree->topLevelItem(0);
    top->setExpanded(true);
    QTreeWidgetItem* odd = nullptr;
    for (int i = 0; i < top->childCount(); ++i) {
        if (dialog.GetItemPath(top->child(i)) == (root.Path() / name).string() + "/") {
            odd = top->child(i);
        }
    }
    ASSERT_NE(odd, nullptr);
    odd->setExpanded(true);
    EXPECT_EQ(odd->childCount(), 1);
}

TEST_F(FolderBrowserTest, NetworkBranchListsMountedNetworkFileSystems) {
    const std::vector<NetworkMount> found = ReadNetworkMounts(mounts.Path() / "mounts");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[1].remote, "//server/my share");

    CDlgGetPath dialog(nullptr, {root.Path()}, mounts.Path() / "mounts");
    dialog.OnInitDialog();
    QTreeWidgetItem* network = dialog.m_hNetworkRoot;
    dialog.m_ctlTree->setCurrentItem(network);
    EXPECT_FALSE(dialog.m_btnOK->isEnabled());
    network->setExpanded(true);
    ASSERT_EQ(network->childCount(), 2);
    QTreeWidgetItem* nas = Child(network, "nas:/export");
    ASSERT_NE(nas, nullptr);
    dialog.m_ctlTree->setCurrentItem(nas);
    EXPECT_TRUE(dialog.m_btnOK->isEnabled());
    EXPECT_EQ(dialog.GetItemPath(nas), share.Path().string() + "/");
    nas->setExpanded(true);
    EXPECT_NE(Child(nas, "backup"), nullptr);

    CDlgGetPath none(nullptr, {root.Path()}, mounts.Path() / "missing");
    none.OnInitDialog();
    none.m_hNetworkRoot->setExpanded(true);
    EXPECT_EQ(none.m_hNetworkRoot->childCount(), 0);
    EXPECT_EQ(none.m_hNetworkRoot->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
}

// Only three octal digits after a backslash are an escape; anything else is taken as it stands,
// and no line of the table, however odd, ends the program.
TEST_F(FolderBrowserTest, OddEscapesInTheMountTableAreTakenAsTheyStand) {
    std::ofstream(mounts.Path() / "odd") << "//srv/a\\089 /mnt/a\\040b cifs rw 0 0\n"
                                         << "//srv/b\\9 /mnt/b\\ nfs rw 0 0\n"
                                         << "//srv/c\\101\\777 /mnt/c nfs4 rw 0 0\n";
    const std::vector<NetworkMount> found = ReadNetworkMounts(mounts.Path() / "odd");
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].remote, "//srv/a\\089");
    EXPECT_EQ(found[0].mountPoint, "/mnt/a b");
    EXPECT_EQ(found[1].remote, "//srv/b\\9");
    EXPECT_EQ(found[1].mountPoint, "/mnt/b\\");
    EXPECT_EQ(found[2].remote, "//srv/cA\xFF");
}

TEST_F(FolderBrowserTest, CancelKeepsTheCallersFolder) {
    CDlgGetPath dialog(nullptr, {root.Path()}, mounts.Path() / "mounts");
    dialog.SetPath("/start/");
    QTimer::singleShot(0, &dialog, [&dialog] { dialog.reject(); });
    EXPECT_EQ(dialog.DoModal(), QDialog::Rejected);
    EXPECT_EQ(dialog.GetPath(), "/start/");
}

}  // namespace
