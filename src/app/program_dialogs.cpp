#include "app/program_dialogs.h"

#include "app/process_threads.h"
#include "config/dlg_get_path.h"
#include "config/upgrade_firmware_dlg.h"
#include "login/address_book.h"
#include "login/copy_program_dlg.h"
#include "login/search_dlg.h"
#include "mainwindow/run_main_window.h"

ProgramStartupDialogs::ProgramStartupDialogs(LiveSessionComponents& components,
                                             LoginDialogHooks hooks)
    : LoginStartupDialogs(std::move(hooks)), m_components(components) {}

void ProgramStartupDialogs::RunMainWindow() {
    ::RunMainWindow({m_components.Pipeline(), m_components.Recorders(),
                     [this] { return ExitLoginResource(m_components) != 0; },
                     [] { return ExitProcessResource() != 0; }});
}

LoginDialogHooks ProgramLoginDialogHooks() {
    LoginDialogHooks hooks;
    hooks.addressBook = []() -> std::optional<AddressBookEntry> {
        CAddressBookDialog book;
        if (book.DoModal() != CAddressBookDialog::kEntrySelected) {
            return std::nullopt;
        }
        return AddressBookEntry{book.m_strIPAddress, book.m_strUser,
                                static_cast<std::uint16_t>(book.m_iMajorPort)};
    };
    hooks.search = [](QWidget* parent) {
        CSearchDlg search(parent);
        search.DoModal();
        return search.Choice();
    };
    hooks.getPath = [](QWidget* parent, const std::string& start) -> std::optional<std::string> {
        CDlgGetPath browser(parent);
        browser.SetPath(start);
        if (browser.DoModal() != QDialog::Accepted) {
            return std::nullopt;
        }
        return browser.GetPath();
    };
    hooks.copyProgram = [](QWidget* parent, const std::string& source,
                           const std::string& destination) {
        CCopyProgramDlg(parent, source, destination).DoModal();
    };
    hooks.upgradeFirmware = [] { CUpgradeFirmwareDlg(nullptr).DoModal(); };
    return hooks;
}
