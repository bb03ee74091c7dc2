#include "config/config_sheet.h"

#include <utility>

#include "config/section_fields.h"
#include "kernel/kernel_object.h"
#include "platform/byte_order.h"
#include "platform/thread.h"
#include "protocol/config_section.h"
#include "ui/message_sink.h"
#include "ui/string_ids.h"

int DdnsSystemIndex(const std::string& name) {
    for (int i = 0; i < static_cast<int>(std::size(kDdnsSystemNames)); ++i) {
        if (name == kDdnsSystemNames[i]) {
            return i;
        }
    }
    return -1;
}

SheetOpeningValues SheetOpeningValues::FromSections(SysCfgBlocks& cfg) {
    using config::Field;
    using config::ReadAddress;
    using config::ReadFieldText;
    SheetOpeningValues v;
    v.network.address = ReadAddress(&cfg.IP[4]);
    v.network.netMask = ReadAddress(&cfg.IP[8]);
    v.network.gateway = ReadAddress(&cfg.IP[12]);
    v.network.webPort = platform::GetU16(&cfg.IP[16]);
    v.network.connectionType = cfg.IP[22];
    v.network.pppoeUser = ReadFieldText(Field(cfg.PPPOE, 36, 16));
    v.network.pppoePassword = ReadFieldText(Field(cfg.PPPOE, 52, 16));

    v.dnsServer = ReadAddress(&cfg.DNS[4]);
    v.ddnsEnable = cfg.SMTP[5];
    v.ddnsUser = ReadFieldText(Field(cfg.SMTP, 104, 16));
    v.ddnsPassword = ReadFieldText(Field(cfg.SMTP, 120, 16));
    v.ddnsDomain = ReadFieldText(Field(cfg.SMTP, 328, 48));
    v.ddnsSystem = DdnsSystemIndex(ReadFieldText(Field(cfg.SMTP, 88, 16)));

    // The mail texts always end within their fields from here on, also in the buffer itself.
    for (const auto& [offset, width] : {std::pair{8, 64}, {72, 16}, {376, 32}, {408, 32}}) {
        cfg.SMTP[offset + width - 1] = 0;
    }
    v.mailFrom = ReadFieldText(Field(cfg.SMTP, 72, 16));
    v.smtpServer = ReadFieldText(Field(cfg.SMTP, 8, 64));
    v.loginPassword = ReadFieldText(Field(cfg.SMTP, 408, 32));
    v.loginUser = ReadFieldText(Field(cfg.SMTP, 376, 32));
    v.needsLogin = cfg.SMTP[4];

    const auto ftpText = [&cfg](std::size_t offset, std::size_t width) {
        std::string text = ReadFieldText(Field(cfg.FTP, offset, width));
        return text.size() < width ? text : std::string();
    };
    v.ftpServer = ftpText(4, 32);
    v.ftpUser = ftpText(36, 16);
    v.ftpPassword = ftpText(52, 16);
    v.ftpDirectory = ftpText(68, 32);
    v.ftpPort = platform::GetU16(&cfg.FTP[100]);

    v.alarmDurationSeconds = platform::GetU16(&cfg.ALARM[6]);
    v.alarmPostNumberIndex = cfg.ALARM[2] > 0 ? static_cast<std::uint8_t>(cfg.ALARM[2] - 1) : 0;
    v.alarmImageResolution = cfg.ALARM[5];
    v.alarmMethod = cfg.ALARM[3];
    v.maxUsers = cfg.SECURE[2];
    return v;
}

void SectionSends::BeginStep(std::function<void()> onSent) {
    m_steps.push_back({{}, std::move(onSent)});
}

void SectionSends::Add(std::uint8_t section, std::span<const std::uint8_t> bytes,
                       std::string failureText, std::function<void()> onTried,
                       std::function<void()> onAccepted) {
    m_steps.back().entries.push_back({section,
                                      {bytes.begin(), bytes.end()},
                                      std::move(failureText),
                                      std::move(onTried),
                                      std::move(onAccepted),
                                      {}});
}

void SectionSends::AddWork(std::function<void()> work) {
    m_steps.back().entries.push_back({0, {}, {}, {}, {}, std::move(work)});
}

SectionSends::Outcome SectionSends::Run() const {
    Outcome outcome;
    for (const Step& step : m_steps) {
        StepResult& result = outcome.emplace_back();
        for (const Entry& entry : step.entries) {
            // After a cancel nothing more may reach the device.
            if (platform::StopRequested()) {
                return outcome;
            }
            ++result.ran;
            if (entry.work) {
                entry.work();
            } else if (SetConfigSection(entry.section, entry.bytes.data(),
                                        static_cast<std::uint32_t>(entry.bytes.size()), 0) == 0) {
                result.failed = true;
                break;
            } else if (entry.onAccepted) {
                entry.onAccepted();
            }
        }
    }
    return outcome;
}

void SectionSends::Report(const Outcome& outcome) const {
    for (std::size_t i = 0; i < outcome.size() && i < m_steps.size(); ++i) {
        const Step& step = m_steps[i];
        const StepResult& result = outcome[i];
        for (std::size_t k = 0; k < result.ran; ++k) {
            if (step.entries[k].onTried) {
                step.entries[k].onTried();
            }
        }
        if (result.failed) {
            const std::string& text = step.entries[result.ran - 1].failureText;
            if (text.empty()) {
                ui::ShowMessage(ui::texts::kChangeConfigFailed);
            } else {
                ui::ShowMessage(text);
            }
        } else if (step.onSent && result.ran == step.entries.size()) {
            step.onSent();
        }
    }
}
