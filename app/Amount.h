#pragma once
// CAmount: the skinned dialog that asks for a container's password while the auto-mount list is replayed
// at start. It shows the container's path and folder and hands the typed password back in its record,
// with the status 0 (accepted) or -1 (cancelled). The caller fills the record's path and folder and sets
// its status to -1 before each run; the record keeps the last password between runs.

#include "ContainerFormat.h"
#include "XDialog.h"
#include "classlib/Geometry.h"

class CAmount : public CXDialog {
    DECLARE_DYNAMIC(CAmount)
public:
    explicit CAmount(CWnd* parent = nullptr);

    BOOL OnInitDialog() override;

    CONTAINER_PARAMS m_record{};

protected:
    afx_msg void OnAccept();
    afx_msg void OnDecline();
    afx_msg LRESULT OnSettingChange(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    bool m_spare = false;
    CRect m_windowRect;
};
