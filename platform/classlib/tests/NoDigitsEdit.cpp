#include "NoDigitsEdit.h"

BEGIN_MESSAGE_MAP(CNoDigitsEdit, CEdit)
ON_WM_CHAR()
END_MESSAGE_MAP()

void CNoDigitsEdit::OnChar(UINT nChar, UINT, UINT) {
    if (nChar < '0' || nChar > '9')
        Default();
}
