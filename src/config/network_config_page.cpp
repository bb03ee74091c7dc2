#include "config/network_config_page.h"

#include "config/my_system_dialog.h"

NetworkConfigPage::NetworkConfigPage(QWidget* parent) : CConfigPage("Network", parent) {}

bool MySystemDialog::ApplyNetworkPage(MySystemDialog&, NetworkConfigPage&) {
    return false;
}
