#include "config/dialog_command.h"

#include <QApplication>

#include "ui/queued_call.h"

DialogCommand::DialogCommand(QObject& owner, std::function<void(bool)> holdOff)
    : m_holdOff(std::move(holdOff)),
      m_runner([&owner](std::function<void()> call) { ui::PostCall(&owner, std::move(call)); }) {}

DialogCommand::~DialogCommand() {
    m_runner.Cancel();
    EndWait(false);
}

void DialogCommand::Cancel() {
    m_runner.Cancel();
    EndWait(true);
}

void DialogCommand::BeginWait() {
    m_fWaiting = true;
    m_holdOff(true);
    QApplication::setOverrideCursor(Qt::BusyCursor);
}

void DialogCommand::EndWait(bool releaseControls) {
    if (!m_fWaiting) {
        return;
    }
    m_fWaiting = false;
    QApplication::restoreOverrideCursor();
    if (releaseControls) {
        m_holdOff(false);
    }
}
