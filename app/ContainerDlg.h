#pragma once
// Container_Dlg: the hidden dialog through which every operation on one container runs (create, open,
// resize, change password, and the auto-mount replay). The caller sets the mode flags, the texts, the size
// and the record, runs the dialog modally, and reads back the end result, the status word (the record's
// status field), the record, the device handle and the folder text. The dialog hides itself, runs
// ExecuteOperation from its initialisation and ends before it takes any input; every outcome is told to
// the user here (refusals and results in the skinned message box, platform errors in MessageBoxF).
//
// End results: IDOK when the container was mounted (create/open: the driver's MOUNT_OK and no activation
// error), or when a resize or password change went through; IDCANCEL for a refused input, a resize to the
// size the container has, and every failure; 0 only through command 1016. A resize or password change
// unmounts the container while it rewrites the file and mounts it again with size 0 (open) afterwards:
// when the rewrite failed after the unmount, the file is as it was, the container is mounted again and the
// result is IDOK too, so that the caller files the new device handle; only a failed remount gives IDCANCEL.
// A record handed back from a mount carries the size that the driver reports for the file, and
// m_mountFolder the folder that the storage manager mounted it at. After a resize or password change whose
// remount failed, m_device is NULL: the container is no longer mounted.
//
// A new container is mounted once to be made, let go so that its trailer can be written, and mounted
// again. While host programs hold its new folder it cannot be let go; after a bounded wait the first mount
// is handed back as the container's mount with m_trailerPending set: whoever unmounts it writes the
// trailer then (WritePendingTrailer), so that what was stored there is not lost.

#include <cstdint>

#include "ContainerFormat.h"
#include "XDialog.h"
#include "classlib/Controls.h"
#include "classlib/String.h"

class Container_Dlg : public CXDialog {
public:
    explicit Container_Dlg(CWnd* parent = nullptr);

    BOOL OnInitDialog() override;
    // The worker: reports through the status word, the record, the device handle and the end result.
    void ExecuteOperation();

    CEdit m_spareEdit;
    CEdit m_passwordEdit;
    CEdit m_sizeEdit;
    CEdit m_folderEdit;
    CEdit m_pathEdit;
    CSpinButtonCtrl m_sizeSpin;

    int64_t m_sizeCount = 0;   // as typed; the resize road replaces it by the size in bytes
    uint64_t m_sizeUnit = 0;   // 1024 or 1048576
    CString m_oldPassword;     // change password
    CString m_confirmPassword; // change password
    CString m_newPassword;     // change password
    CString m_path;            // create: without ".fvc"; open: the container file
    CString m_password;        // create / open
    CString m_folder;          // create: the folder to mount under; after open: the trailer's name
    CONTAINER_PARAMS m_record{};
    HANDLE m_device = nullptr;
    CString m_mountFolder;         // out: "\Folder" or "\Folder2", where the mount handed back lives
    bool m_trailerPending = false; // in and out: the container of the record and device lacks its trailer
    int m_openFlag = 0;
    int m_prefilledFlag = 0;
    int m_resizeFlag = 0;
    int m_changePasswordFlag = 0;
    int m_changePasswordFlag2 = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    afx_msg void OnExecute();
    afx_msg void OnBrowse();
    afx_msg void OnBack();

    DECLARE_MESSAGE_MAP()

private:
    // How a rewrite of the container's file ended.
    enum class Rewrite {
        Refused, // nothing was changed; the reason was shown
        Failed,  // the container was unmounted for it and its file is as it was; the reason was shown
        Done,
    };

    void Refuse(LPCWSTR text);
    void CreateOrOpen();
    void Resize();
    void ChangePassword();
    // Checks the create and open input; false after a refusal.
    bool CheckInput();
    // Why the create and open input is refused, empty when it is accepted.
    CString InputRefusal() const;
    // Reads the folder name from the trailer of the local record's container; false after a refusal.
    bool ReadFolderFromTrailer(CONTAINER_PARAMS& local);
    Rewrite ResizeContainer(uint64_t newSize);
    Rewrite ChangeContainerPassword(LPCWSTR newPassword);
    // Unmounts the container of the record member for a rewrite; false (the reason shown) when it stays.
    bool UnmountForRewrite();
    // Mounts the record member's container again after a rewrite and ends with IDOK; the text is shown
    // when it mounted and the rewrite was done.
    void RemountAfterRewrite(Rewrite rewrite, LPCWSTR doneText);
    // The message of a driver status (and the platform error that came with the activation).
    void ReportActivation(int32_t status, DWORD error);
};

// Writes the trailer of a new container (its data key is its password key) over the last bytes of its
// file, once the container is unmounted; tells the user in MessageBoxF when it cannot, and is false then.
bool WritePendingTrailer(const CONTAINER_PARAMS& record);

// Formats with the wide printf rules into 1024 units (longer texts are cut) and shows the platform's
// message box without owner, captioned "FerrovaneEx", with MB_SETFOREGROUND | MB_TOPMOST added.
int MessageBoxF(UINT flags, LPCWSTR format, ...);
