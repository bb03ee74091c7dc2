#pragma once

// The "Camera" page: the sixteen channels with their title, picture settings (brightness,
// contrast, saturation, hue), COV and record flags. CCameraEditDlg edits the four picture
// settings of one channel; title, COV and record are only shown. An edit goes straight into the
// DVRLIVE section and marks it for the sheet's camera step.

#include <QLineEdit>
#include <cstdint>

#include "config/channel_sections.h"
#include "config/list_page.h"

class CCameraEditDlg : public CRowEditDlg {
    Q_OBJECT

public:
    explicit CCameraEditDlg(QWidget* parent = nullptr);

    bool UpdateData(bool save) override;

    int m_nBrightness = 0;
    int m_nContrast = 0;
    int m_nSaturation = 0;
    int m_nHue = 0;
    QString m_strTitle;

    QPushButton m_btnTitle;  // shows the title; pressing it does nothing
    QLineEdit m_edBrightness;
    QLineEdit m_edContrast;
    QLineEdit m_edSaturation;
    QLineEdit m_edHue;

protected:
    void OnInitDialog() override;
};

class CameraPage : public CListPage {
    Q_OBJECT

public:
    explicit CameraPage(QWidget* parent = nullptr);

    std::array<config::CameraChannel, config::kListRows> m_Channels{};
    std::uint32_t m_fDvrLiveChanged = 0;
    // Nothing on this page edits DVRREC; the sheet's camera step still sends it when set.
    std::uint32_t m_fDvrRecChanged = 0;

protected:
    void OnInitDialog() override;
    void EditRow(int row) override;

private:
    void ShowRow(int row);
};
