#pragma once

// A dialog made and set up as the program opens it, before it is shown: for the tables of
// windows that the tests open one after another.

#include <QWidget>
#include <memory>
#include <utility>

namespace test_support {

template <typename Dialog, typename... Args>
std::unique_ptr<QWidget> Initialised(Args&&... args) {
    auto dialog = std::make_unique<Dialog>(std::forward<Args>(args)...);
    dialog->OnInitDialog();
    return dialog;
}

}  // namespace test_support
