#pragma once

// The picture gallery: tests leave a PNG of each window they open in the build's screenshots
// folder, so anyone can look at every window without a display.

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <filesystem>
#include <string>

#include "test_support/pump.h"

namespace test_support {

// Shows the window, lets it lay itself out and paint, and saves it as `name`.png. Returns the
// picture so a test can look at it.
inline QImage SaveScreenshot(QWidget& window, const std::string& name) {
    const std::filesystem::path folder(TORVEL_SCREENSHOT_DIR);
    std::filesystem::create_directories(folder);
    window.show();
    PumpUntil([] { return false; }, 30);
    const QImage picture = window.grab().toImage();
    EXPECT_FALSE(picture.isNull()) << name;
    EXPECT_TRUE(picture.save(QString::fromStdString((folder / (name + ".png")).string()))) << name;
    return picture;
}

}  // namespace test_support
