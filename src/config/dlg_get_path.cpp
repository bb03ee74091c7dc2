#include "config/dlg_get_path.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "platform/paths.h"

namespace fs = std::filesystem;

namespace {

// Item data: the piece of the path the item adds (a whole path for top-level items and network
// mounts, a folder name below them) and whether its children were read. The piece is kept as the
// file system's own bytes: a name that is not valid text must still lead back to its folder.
constexpr int kPathRole = Qt::UserRole;
constexpr int kPopulatedRole = Qt::UserRole + 1;
constexpr int kAbsoluteRole = Qt::UserRole + 2;

constexpr const char* kNetworkTypes[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs"};

// /proc/mounts writes blanks and a few other characters as three octal digits after "\".
std::string Unescape(const std::string& field) {
    const auto octal = [](char c) { return c >= '0' && c <= '7'; };
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) &&
            octal(field[i + 2]) && octal(field[i + 3])) {
            text.push_back(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                             (field[i + 3] - '0')));
            i += 3;
        } else {
            text.push_back(field[i]);
        }
    }
    return text;
}

}  // namespace

std::vector<NetworkMount> ReadNetworkMounts(const fs::path& mountsFile) {
    std::vector<NetworkMount> mounts;
    std::ifstream in(mountsFile);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string remote, mountPoint, type;
        if (!(fields >> remote >> mountPoint >> type)) {
            continue;
        }
        if (std::find(std::begin(kNetworkTypes), std::end(kNetworkTypes), type) !=
            std::end(kNetworkTypes)) {
            mounts.push_back({Unescape(remote), Unescape(mountPoint)});
        }
    }
    return mounts;
}

CDlgGetPath::CDlgGetPath(QWidget* parent, std::vector<fs::path> roots, fs::path mountsFile)
    : QDialog(parent), m_roots(std::move(roots)), m_mountsFile(std::move(mountsFile)) {
    setWindowTitle("Destination Path");
    m_ctlTree = new QTreeWidget(this);
    m_ctlTree->setHeaderHidden(true);
    auto* buttons = new QDialogButtonBox(this);
    m_btnOK = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    buttons->addButton("CANCEL", QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDlgGetPath::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_ctlTree, &QTreeWidget::itemExpanded, this, &CDlgGetPath::OnItemexpandingTree);
    connect(m_ctlTree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { OnSelchangingTree(item); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_ctlTree);
    layout->addWidget(buttons);
}

int CDlgGetPath::DoModal() {
    OnInitDialog();
    return exec();
}

bool CDlgGetPath::OnInitDialog() {
    m_ctlTree->clear();
    for (const fs::path& root : m_roots) {
        QTreeWidgetItem* item = InsertItem(nullptr, root.string(), root.string());
        item->setData(0, kAbsoluteRole, true);
    }
    m_hNetworkRoot = InsertItem(nullptr, "Network Neighborhood", "");
    m_btnOK->setEnabled(false);
    return true;
}

QTreeWidgetItem* CDlgGetPath::InsertItem(QTreeWidgetItem* parent, const std::string& text,
                                         const std::string& pathPart) {
    auto* item = new QTreeWidgetItem(QStringList{QString::fromStdString(text)});
    item->setData(0, kPathRole, QByteArray::fromStdString(pathPart));
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    if (parent != nullptr) {
        parent->addChild(item);
    } else {
        m_ctlTree->addTopLevelItem(item);
    }
    return item;
}

std::string CDlgGetPath::FormatItemName(const std::string& name) {
    if (std::any_of(name.begin(), name.end(), [](char c) { return c >= 'a' && c <= 'z'; })) {
        return name;
    }
    std::string text = name;
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (!text.empty()) {
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    }
    return text;
}

std::string CDlgGetPath::GetItemPath(const QTreeWidgetItem* item) const {
    fs::path path;
    std::vector<const QTreeWidgetItem*> chain;
    for (; item != nullptr && item != m_hNetworkRoot; item = item->parent()) {
        chain.push_back(item);
        if (item->data(0, kAbsoluteRole).toBool()) {
            break;
        }
    }
    if (chain.empty() || !chain.back()->data(0, kAbsoluteRole).toBool()) {
        return {};
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        path /= (*it)->data(0, kPathRole).toByteArray().toStdString();
    }
    return platform::WithTrailingSeparator(path.string());
}

void CDlgGetPath::OnItemexpandingTree(QTreeWidgetItem* item) {
    if (item->data(0, kPopulatedRole).toBool()) {
        return;
    }
    item->setData(0, kPopulatedRole, true);
    PopulateTree(item);
    // A node opened for the first time becomes the selection, so OK takes what the user opened.
    if (m_ctlTree->currentItem() != item) {
        m_ctlTree->setCurrentItem(item);
    }
}

bool CDlgGetPath::PopulateTree(QTreeWidgetItem* item) {
    bool added = false;
    if (item == m_hNetworkRoot) {
        for (const NetworkMount& mount : ReadNetworkMounts(m_mountsFile)) {
            QTreeWidgetItem* share = InsertItem(item, mount.remote, mount.mountPoint.string());
            share->setData(0, kAbsoluteRole, true);
            added = true;
        }
    } else {
        // A folder that cannot be read counts as empty.
        std::error_code ec;
        std::vector<std::string> names;
        for (fs::directory_iterator it(GetItemPath(item), ec), end; !ec && it != end;
             it.increment(ec)) {
            std::error_code typeError;
            if (it->is_directory(typeError)) {
                names.push_back(it->path().filename().string());
            }
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            InsertItem(item, FormatItemName(name), name);
            added = true;
        }
    }
    if (!added) {
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
    }
    return added;
}

void CDlgGetPath::OnSelchangingTree(QTreeWidgetItem* item) {
    const std::string path = item != nullptr ? GetItemPath(item) : std::string();
    m_btnOK->setEnabled(!path.empty());
    m_strSelected = path;
}

void CDlgGetPath::accept() {
    if (!m_strSelected.empty()) {
        m_strPath = m_strSelected;
    }
    QDialog::accept();
}
