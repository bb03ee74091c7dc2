#pragma once

// "Destination Path": the user picks a folder in a tree of the file system and of the network
// file systems this machine has mounted. A node's folders are read the first time it is
// expanded; a node found empty loses its expand button.

#include <QDialog>
#include <filesystem>
#include <string>
#include <vector>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// A mounted network file system as /proc/mounts lists it.
struct NetworkMount {
    std::string remote;  // "server:/export" or "//server/share"
    std::filesystem::path mountPoint;
};

// The nfs and smb/cifs entries of a mounts file; none when it cannot be read.
std::vector<NetworkMount> ReadNetworkMounts(const std::filesystem::path& mountsFile);

class CDlgGetPath : public QDialog {
    Q_OBJECT
public:
    // `roots` stand for the machine's drives; the program passes the file system root.
    explicit CDlgGetPath(QWidget* parent = nullptr,
                         std::vector<std::filesystem::path> roots = {"/"},
                         std::filesystem::path mountsFile = "/proc/mounts");

    void SetPath(const std::string& path) { m_strPath = path; }
    // The chosen folder, ending with a separator, after OK.
    std::string GetPath() const { return m_strPath; }

    int DoModal();
    bool OnInitDialog();
    // OK takes the selected folder; Cancel leaves the path as the caller set it.
    void accept() override;
    void OnItemexpandingTree(QTreeWidgetItem* item);
    void OnSelchangingTree(QTreeWidgetItem* item);

    // A name written all in capitals is shown as a word ("PROGRAM FILES" as "Program files");
    // any name with a lower-case letter stays as it is.
    static std::string FormatItemName(const std::string& name);
    // The folder an item stands for, ending with a separator; empty for the network root.
    std::string GetItemPath(const QTreeWidgetItem* item) const;

    QTreeWidget* m_ctlTree;
    QTreeWidgetItem* m_hNetworkRoot = nullptr;
    QPushButton* m_btnOK;

private:
    // Adds the item's children; false (and no expand button) when there are none.
    bool PopulateTree(QTreeWidgetItem* item);
    QTreeWidgetItem* InsertItem(QTreeWidgetItem* parent, const std::string& text,
                                const std::string& pathPart);

    std::vector<std::filesystem::path> m_roots;
    std::filesystem::path m_mountsFile;
    std::string m_strPath;
    std::string m_strSelected;  // the folder OK would hand back
};
