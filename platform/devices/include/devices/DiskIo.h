#pragma once
// The handheld's block-driver contract: the disk information record, scatter/gather requests, the
// storage device information and the disk I/O control codes. Records that hold pointers take the
// host's natural layout.

#include "crt/Types.h"

struct DISK_INFO {
    DWORD di_total_sectors;
    DWORD di_bytes_per_sect;
    DWORD di_cylinders;
    DWORD di_heads;
    DWORD di_sectors;
    DWORD di_flags;
};
static_assert(sizeof(DISK_INFO) == 24);

#define DISK_INFO_FLAG_MBR 0x00000001
#define DISK_INFO_FLAG_CHS_UNCERTAIN 0x00000002
#define DISK_INFO_FLAG_UNFORMATTED 0x00000004
#define DISK_INFO_FLAG_PAGEABLE 0x00000008

struct SG_REQ;
using PFN_REQDONE = DWORD (*)(SG_REQ*);

struct SG_BUF {
    PBYTE sb_buf; // in the caller's process
    DWORD sb_len;
};

#define MAX_SG_BUF 8

// A request is followed by sr_num_sg buffers; its size is offsetof(SG_REQ, sr_sglist) plus
// sr_num_sg * sizeof(SG_BUF).
struct SG_REQ {
    DWORD sr_start;   // first sector
    DWORD sr_num_sec; // number of sectors
    DWORD sr_num_sg;  // number of buffers
    DWORD sr_status;  // 0 or a platform error, written by the driver
    PFN_REQDONE sr_callback;
    SG_BUF sr_sglist[1];
};

#define PROFILENAMESIZE 32

struct STORAGEDEVICEINFO {
    DWORD cbSize;
    WCHAR szProfile[PROFILENAMESIZE];
    DWORD dwDeviceClass;
    DWORD dwDeviceType;
    DWORD dwDeviceFlags;
};
static_assert(sizeof(STORAGEDEVICEINFO) == 80);

#define STORAGE_DEVICE_CLASS_BLOCK 0x1
#define STORAGE_DEVICE_TYPE_REMOVABLE_MEDIA 0x80000000
#define STORAGE_DEVICE_FLAG_READWRITE 0x1

// Old-style codes.
#define DISK_IOCTL_GETINFO 1
#define DISK_IOCTL_READ 2
#define DISK_IOCTL_WRITE 3
#define DISK_IOCTL_INITIALIZED 4
#define DISK_IOCTL_SETINFO 5
#define DISK_IOCTL_FORMAT_MEDIA 6
#define DISK_IOCTL_GETNAME 9

// Codes built with the device-type and access fields of the platform's control-code layout.
#define IOCTL_DISK_DEVICE_INFO 0x00071800
#define IOCTL_DISK_GETINFO 0x00071C00
#define IOCTL_DISK_SETINFO 0x00071C04
#define IOCTL_DISK_READ 0x00075C08
#define IOCTL_DISK_WRITE 0x00079C0C
#define IOCTL_DISK_INITIALIZED 0x00071C10
#define IOCTL_DISK_FORMAT_MEDIA 0x00079C14
#define IOCTL_DISK_GETNAME 0x00071C20
#define IOCTL_DISK_FLUSH_CACHE 0x00071C24
#define IOCTL_DISK_GET_SECTOR_ADDR 0x00071C50

// What the device manager passes with the post-initialisation control.
struct POST_INIT_BUF {
    HANDLE p_hDevice;
    HKEY p_hActiveKey;
};

// {A4E7EDDA-E575-4252-9D6B-4195D48BB865}: the interface class of block drivers.
inline constexpr GUID BLOCK_DRIVER_GUID = {
    0xA4E7EDDA, 0xE575, 0x4252, {0x9D, 0x6B, 0x41, 0x95, 0xD4, 0x8B, 0xB8, 0x65}};
