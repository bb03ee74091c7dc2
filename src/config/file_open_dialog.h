#pragma once

// The open-file box of the dialogs that pick a local file (firmware image, alarm sound). Filters
// are written the way the dialogs keep them, "description|pattern||"; the chooser is a hook so
// that tests can answer in the user's place.

#include <QStringList>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class QWidget;

struct FileOpenRequest {
    std::string filter;            // "description|pattern|description|pattern||"
    std::string defaultExtension;  // added to a typed name without one; may be empty
    std::string fileName;          // the name proposed in the box; may be empty
    std::string initialFolder;     // empty: the box's own choice
};

// The chosen file's full path; nothing when the user cancelled.
using FileOpenChooser =
    std::function<std::optional<std::string>(QWidget* parent, const FileOpenRequest& request)>;

// The filter as the Qt box wants it: one "description (pattern)" per pair.
QStringList FileOpenNameFilters(std::string_view filter);

// The real box.
std::optional<std::string> ChooseFileToOpen(QWidget* parent, const FileOpenRequest& request);
