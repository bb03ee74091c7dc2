#pragma once

// The four-field IPv4 address control of the configuration pages: one box per dotted number,
// each 0 to 255, any of them may be left blank.

#include <QLineEdit>
#include <QWidget>
#include <array>
#include <cstdint>

class CIPAddressCtrl : public QWidget {
    Q_OBJECT

public:
    explicit CIPAddressCtrl(QWidget* parent = nullptr);

    // The most significant byte goes to the first box.
    void SetAddress(std::uint32_t address);
    // The address of the boxes, a blank box read as 0; returns how many boxes are not blank.
    int GetAddress(std::uint32_t& address) const;
    void ClearAddress();
    bool IsBlank() const;

    std::array<QLineEdit, 4> m_fields;
};
