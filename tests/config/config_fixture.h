#pragma once

// A logged-in session as the configuration dialogs see it: the state object, a device emulator on
// loopback holding the sections, and the section buffers fetched from it the way the main window
// fetches them before it opens the sheet.

#include <gtest/gtest.h>

#include <span>
#include <string>

#include "config/my_system_dialog.h"
#include "kernel/kernel_object.h"
#include "protocol/config_section.h"
#include "protocol/device_fixture.h"
#include "test_support/pump.h"
#include "test_support/temp_folder.h"

namespace test_support {

class ConfigFixture : public DeviceFixture {
protected:
    explicit ConfigFixture(std::uint8_t deviceType = 19) {
        g_lpApp->m_DeviceList.Add(0, 0, deviceType, CDeviceList::kMasterKind);
        g_lpApp->m_DeviceList.Select(CDeviceList::kMasterKind, 0);
        g_lpApp->m_fVideoReady = 1;
        // Pages that keep files beside the program (the alarm list) keep them here.
        g_lpApp->CSettingINI.m_strProgramPath = programFolder.Path().string() + "/";
        // The dialogs run inside a session; which cookie it has is the login's business.
        device.Update([](device_emulator::Settings& s) { s.identity.check_cookie = false; });
    }

    TempFolder programFolder;

    // A loopback port nobody listens on just now. The emulator moves to a web port that the
    // network page sends, so tests hand it one it can bind.
    static std::uint16_t FreePort() {
        device_emulator::DeviceEmulator probe;
        probe.Start();
        return probe.Port();
    }

    // Writes bytes into the device's copy of a section.
    void PutDeviceBytes(std::string_view section, std::size_t offset, std::string_view bytes) {
        std::string block = *device.Section(section);
        block.replace(offset, bytes.size(), bytes);
        ASSERT_TRUE(device.SetSection(section, block));
    }

    // Every section the sheet works on, fetched into the buffers.
    void FetchSections() {
        SysCfgBlocks& cfg = g_lpApp->m_SysCfg;
        const std::pair<std::uint8_t, std::span<std::uint8_t>> sections[] = {
            {CFG_IP, cfg.IP},         {CFG_ONLINE, cfg.ONLINE},   {CFG_ALARM, cfg.ALARM},
            {CFG_SECURE, cfg.SECURE}, {CFG_SMTP, cfg.SMTP},       {CFG_FTP, cfg.FTP},
            {CFG_RS485, cfg.RS485},   {CFG_DVRLIVE, cfg.DVRLIVE}, {CFG_DVRREC, cfg.DVRREC},
            {CFG_PPPOE, cfg.PPPOE},   {CFG_DNS, cfg.DNS},         {CFG_SNTP, cfg.SNTP},
            {CFG_IMG, cfg.IMG},
        };
        for (const auto& [section, block] : sections) {
            ASSERT_EQ(
                GetConfigSection(section, block.data(), static_cast<std::uint32_t>(block.size())),
                1)
                << ConfigSectionNames[section];
        }
        device.ClearRequests();
    }

    // Fetches the sections, opens the sheet and shows the page's tab, as a user reaches a page.
    template <class Page>
    Page& OpenSheetAt(MySystemDialog& sheet, Page& page) {
        FetchSections();
        sheet.OnInitDialog();
        sheet.SetActivePage(&page);
        return page;
    }

    // APPLY as its button runs it, up to the end of its sends (the sheet closes then, unless
    // it refused to apply).
    static void Apply(MySystemDialog& sheet) {
        sheet.OnClickApply();
        ASSERT_TRUE(PumpUntil([&sheet] { return !sheet.IsWaitingForDevice(); }));
    }

    // The sections the device received, by name, in order.
    std::vector<std::string> SentSections() const {
        std::vector<std::string> names;
        for (const auto& request : device.Requests("/SetSysCfg.cgi")) {
            names.push_back(request.Param("Option").value_or("?"));
        }
        return names;
    }
};

}  // namespace test_support
