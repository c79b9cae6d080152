#pragma once
// An edit box that drops digits: the other characters go on to the edit's own procedure.

#include "classlib/Controls.h"

class CNoDigitsEdit : public CEdit {
public:
    afx_msg void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);

protected:
    DECLARE_MESSAGE_MAP()
};
