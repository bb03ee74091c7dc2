#include "config/file_open_dialog.h"

#include <QFileDialog>
#include <vector>

QStringList FileOpenNameFilters(std::string_view filter) {
    std::vector<std::string_view> parts;
    while (!filter.empty()) {
        const std::size_t bar = filter.find('|');
        parts.push_back(filter.substr(0, bar));
        filter = bar == std::string_view::npos ? std::string_view{} : filter.substr(bar + 1);
    }
    QStringList filters;
    for (std::size_t i = 0; i + 1 < parts.size() && !parts[i].empty(); i += 2) {
        const QString description = QString::fromUtf8(parts[i].data(), parts[i].size());
        const QString pattern =
            QString::fromUtf8(parts[i + 1].data(), parts[i + 1].size()).replace(';', ' ');
        // Qt reads the patterns from the parentheses; most descriptions already show them.
        filters << (description.endsWith("(" + pattern + ")") ? description
                                                              : description + " (" + pattern + ")");
    }
    return filters;
}

std::optional<std::string> ChooseFileToOpen(QWidget* parent, const FileOpenRequest& request) {
    QFileDialog box(parent);
    box.setAcceptMode(QFileDialog::AcceptOpen);
    box.setFileMode(QFileDialog::ExistingFile);
    box.setNameFilters(FileOpenNameFilters(request.filter));
    box.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    if (!request.initialFolder.empty()) {
        box.setDirectory(QString::fromStdString(request.initialFolder));
    }
    if (!request.fileName.empty()) {
        box.selectFile(QString::fromStdString(request.fileName));
    }
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return box.selectedFiles().front().toStdString();
}
