#include "config/download_file_page.h"

DownloadFilePage::DownloadFilePage(QWidget* parent) : CConfigPage("Network Backup", parent) {}
