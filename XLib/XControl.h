#pragma once
// CXControl: the base of the toolkit's custom-window controls (button, check box, slider, static). Each
// control class has a window class of its own, registered by the first construction of a control of
// that class in the process (CS_HREDRAW | CS_VREDRAW, no cursor, no background brush), and the two
// operations through which a skinned dialog makes a control from its skin element and cleans it up.
//
// A control repaints itself without erasing when it is enabled or disabled, and lets its parent repaint
// the background where it was when it is hidden: the controls look transparent over the dialog's skin.

#include "XmlReader.h"
#include "classlib/Wnd.h"
#include "crt/Types.h"

class CXDialog;

class CXControl : public CWnd {
    DECLARE_DYNAMIC(CXControl)
public:
    CXControl(LPCWSTR className, UINT classStyle, HCURSOR cursor, HBRUSH background);
    ~CXControl() override = default;

    // Makes the control's window from its skin element as a child of the dialog, bitmap paths prefixed
    // with basePath. The base makes nothing and answers false.
    virtual bool LoadFromXml(CXmlElement* element, CXDialog* dialog, LPCWSTR basePath);
    // Frees what the control holds besides its window (bitmaps, timers).
    virtual void ReleaseResources();

protected:
    afx_msg void OnEnable(BOOL bEnable);
    afx_msg void OnShowWindow(BOOL bShow, UINT nStatus);

    DECLARE_MESSAGE_MAP()
};
