#pragma once

// A page of the configuration sheet. Its controls exist from construction, but the page counts as
// created only once its tab has been shown: then OnInitDialog fills the controls from the section
// buffers. The sheet's apply skips a page that was never created.

#include <QString>
#include <QWidget>

class ConfigSheet;

class CConfigPage : public QWidget {
    Q_OBJECT

public:
    explicit CConfigPage(const QString& caption, QWidget* parent = nullptr);

    const QString& Caption() const { return m_strCaption; }
    bool IsPageCreated() const { return m_fCreated; }
    // Runs OnInitDialog the first time; later calls do nothing.
    void CreatePage();

    // Control values into the members (save) or members into the controls. A refused value has
    // shown its prompt; false then.
    virtual bool UpdateData(bool save);
    // The user leaves the page for another tab; false keeps the page shown.
    virtual bool OnKillActive();
    // The page's tab was shown.
    virtual void OnSetActive() {}

    ConfigSheet* Sheet() const { return m_pSheet; }
    void SetSheet(ConfigSheet* sheet) { m_pSheet = sheet; }

protected:
    virtual void OnInitDialog() {}

private:
    QString m_strCaption;
    bool m_fCreated = false;
    ConfigSheet* m_pSheet = nullptr;
};
