#include "config/ip_address_ctrl.h"

#include <QHBoxLayout>
#include <QLabel>

#include "config/data_exchange.h"

CIPAddressCtrl::CIPAddressCtrl(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (i > 0) {
            row->addWidget(new QLabel(".", this));
        }
        m_fields[i].setParent(this);
        m_fields[i].setMaxLength(3);
        m_fields[i].setFixedWidth(m_fields[i].fontMetrics().horizontalAdvance("0000") + 8);
        m_fields[i].setAlignment(Qt::AlignCenter);
        config::ClampNumberOnEdit(m_fields[i], 255);
        row->addWidget(&m_fields[i]);
    }
    row->addStretch();
}

void CIPAddressCtrl::SetAddress(std::uint32_t address) {
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        m_fields[i].setText(QString::number((address >> (24 - 8 * i)) & 0xFF));
    }
}

int CIPAddressCtrl::GetAddress(std::uint32_t& address) const {
    address = 0;
    int filled = 0;
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        const QString text = m_fields[i].text();
        if (!text.isEmpty()) {
            ++filled;
            address |= static_cast<std::uint32_t>(text.toUInt() & 0xFF) << (24 - 8 * i);
        }
    }
    return filled;
}

void CIPAddressCtrl::ClearAddress() {
    for (auto& field : m_fields) {
        field.clear();
    }
}

bool CIPAddressCtrl::IsBlank() const {
    for (const auto& field : m_fields) {
        if (!field.text().isEmpty()) {
            return false;
        }
    }
    return true;
}
