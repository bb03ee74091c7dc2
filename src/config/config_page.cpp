#include "config/config_page.h"

CConfigPage::CConfigPage(const QString& caption, QWidget* parent)
    : QWidget(parent), m_strCaption(caption) {}

void CConfigPage::CreatePage() {
    if (m_fCreated) {
        return;
    }
    m_fCreated = true;
    OnInitDialog();
}

bool CConfigPage::UpdateData(bool) {
    return true;
}

bool CConfigPage::OnKillActive() {
    return UpdateData(true);
}
