#include "kernel/device_list.h"

#include <string>

#include "kernel/kernel_object.h"
#include "ui/string_ids.h"
#include "ui/string_table.h"

namespace {

constexpr std::size_t kMaxTipLength = 79;

}  // namespace

void CDeviceList::Clear() {
    std::lock_guard lock(m_mutex);
    m_entries = {};
    // The R.E.T.R. state stays: it is what the R.E.T.R. button shows, and only the device's next
    // report changes either, so a re-login leaves both as they were.
    m_current = m_previous = m_count = m_master = m_peripheral = 0;
}

int CDeviceList::Add(std::uint32_t baudRate, std::uint8_t deviceId, std::uint8_t deviceType,
                     int kind) {
    std::lock_guard lock(m_mutex);
    if (m_count >= kEntries) {
        return -1;
    }
    m_entries[m_count] = {baudRate, deviceId, deviceType,
                          static_cast<std::uint16_t>(kind | DeviceListEntry::kUsed)};
    ++m_count;
    return 0;
}

int CDeviceList::Find(std::uint32_t kindMask, std::uint8_t n) const {
    int seen = 0;
    for (std::size_t i = 0; i < kEntries; ++i) {
        const std::uint16_t flags = m_entries[i].wFlags;
        if ((flags & DeviceListEntry::kUsed) && (flags & kindMask) && seen++ == n) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void CDeviceList::Compact() {
    std::lock_guard lock(m_mutex);
    std::array<DeviceListEntry, kEntries> masters{};
    std::uint8_t kept = 0;
    std::uint8_t currentOrdinal = 0;
    const bool currentIsMaster = m_entries[m_current].wFlags & DeviceListEntry::kMaster;
    for (std::size_t i = 0; i < kEntries; ++i) {
        const std::uint16_t flags = m_entries[i].wFlags;
        if ((flags & DeviceListEntry::kUsed) && (flags & DeviceListEntry::kMaster)) {
            if (i == m_current) {
                currentOrdinal = kept;
            }
            masters[kept++] = m_entries[i];
        }
    }
    m_entries = masters;
    m_count = kept;
    m_current = m_master = currentIsMaster ? currentOrdinal : 0;
    m_previous = m_peripheral = 0;
}

int CDeviceList::Select(std::uint32_t kindMask, std::uint8_t n) {
    std::lock_guard lock(m_mutex);
    const int found = Find(kindMask, n);
    if (found < 0) {
        return -1;
    }
    const auto index = static_cast<std::uint8_t>(found);
    if (index != m_current) {
        m_previous = m_current;
        m_current = index;
    }
    if (m_entries[index].wFlags & DeviceListEntry::kMaster) {
        m_master = index;
    }
    if (m_entries[index].wFlags & DeviceListEntry::kPeripheral) {
        m_peripheral = index;
    }
    return 0;
}

std::uint8_t CDeviceList::GetCurrentType() const {
    std::lock_guard lock(m_mutex);
    return m_entries[m_current].bDeviceType;
}

std::uint8_t CDeviceList::GetCurrentId() const {
    std::lock_guard lock(m_mutex);
    return m_entries[m_current].bDeviceID;
}

std::uint8_t CDeviceList::GetPreviousId() const {
    std::lock_guard lock(m_mutex);
    return m_entries[m_previous].bDeviceID;
}

std::uint8_t CDeviceList::GetMasterType() const {
    std::lock_guard lock(m_mutex);
    return m_entries[m_master].bDeviceType;
}

std::uint8_t CDeviceList::GetMasterId() const {
    std::lock_guard lock(m_mutex);
    return m_entries[m_master].bDeviceID;
}

std::uint8_t CDeviceList::GetPeripheralId() const {
    std::lock_guard lock(m_mutex);
    return m_entries[m_peripheral].bDeviceID;
}

std::uint8_t CDeviceList::GetPeripheralTypeAt(std::uint8_t n) const {
    std::lock_guard lock(m_mutex);
    const int found = Find(DeviceListEntry::kPeripheral, n);
    return found < 0 ? 0 : m_entries[static_cast<std::size_t>(found)].bDeviceType;
}

std::uint32_t CDeviceList::IsCurrentMaster() const {
    std::lock_guard lock(m_mutex);
    return (m_entries[m_current].wFlags & DeviceListEntry::kMaster) ? 1 : 0;
}

std::uint32_t CDeviceList::IsMasterType19() const {
    std::lock_guard lock(m_mutex);
    return m_entries[m_master].bDeviceType == KLM300_DVR ? 1 : 0;
}

std::uint8_t CDeviceList::GetOrdinal() const {
    std::lock_guard lock(m_mutex);
    const std::uint16_t kind = (m_entries[m_current].wFlags & DeviceListEntry::kMaster)
                                   ? DeviceListEntry::kMaster
                                   : DeviceListEntry::kPeripheral;
    std::uint8_t ordinal = 0;
    for (std::size_t i = 0; i < m_current; ++i) {
        const std::uint16_t flags = m_entries[i].wFlags;
        if ((flags & DeviceListEntry::kUsed) && (flags & kind)) {
            ++ordinal;
        }
    }
    return ordinal;
}

std::uint32_t CDeviceList::SetPeripheral(std::uint8_t n, std::uint8_t deviceType,
                                         std::uint8_t deviceId) {
    std::lock_guard lock(m_mutex);
    const int found = Find(DeviceListEntry::kPeripheral, n);
    if (found >= 0) {
        m_entries[static_cast<std::size_t>(found)].bDeviceType = deviceType;
        m_entries[static_cast<std::size_t>(found)].bDeviceID = deviceId;
    }
    return 1;
}

std::uint8_t CDeviceList::GetState() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

bool CDeviceList::AlarmTriggerRecordOn() const {
    const ::CSettingINI& settings = g_lpApp->CSettingINI;
    return settings.m_bAlarmTriggerRecord != 0 && settings.m_bRetrAlarmRecord != 0 &&
           GetState() != 0;
}

std::uint32_t CDeviceList::SetRetrState(std::uint8_t newState) {
    std::unique_lock lock(m_mutex);
    const std::uint8_t old = m_state;
    m_state = newState;
    lock.unlock();
    if (newState != old) {
        ShowRetrState();
    }
    return 1;
}

void CDeviceList::ShowRetrState() const {
    const std::string texts = ui::LoadString(ui::texts::kRetrTexts);
    const std::size_t split = texts.find('$');
    const std::string enable = texts.substr(0, std::min(split, kMaxTipLength));
    const std::string disable =
        split == std::string::npos ? std::string() : texts.substr(split + 1, kMaxTipLength);
    const bool on = GetState() != 0;
    if (MainWindowLink* window = g_lpApp->m_pMainDialog.load()) {
        window->SetButtonImage(kRetrButtonId, on ? 1 : 0);
        window->SetButtonTip(kRetrButtonId, on ? enable : disable);
    }
}

DeviceListEntry CDeviceList::Entry(std::size_t index) const {
    std::lock_guard lock(m_mutex);
    return index < kEntries ? m_entries[index] : DeviceListEntry{};
}

std::uint8_t CDeviceList::Count() const {
    std::lock_guard lock(m_mutex);
    return m_count;
}
