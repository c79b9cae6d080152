#pragma once
// What a client of Tallowick knows of it: the identifiers of its class, interface and type library, and
// the interface. Creating the class is all it takes to ask the main program for a new container.

#include "com/Automation.h"

// {7EB8A0D7-7D17-44CC-A74A-00DC6AB30734}
inline constexpr CLSID CLSID_MenuHandler = {
    0x7EB8A0D7, 0x7D17, 0x44CC, {0xA7, 0x4A, 0x00, 0xDC, 0x6A, 0xB3, 0x07, 0x34}};
// {5FC6D546-988C-4545-B9AD-6B236A71010A}
inline constexpr IID IID_IMenuHandler = {
    0x5FC6D546, 0x988C, 0x4545, {0xB9, 0xAD, 0x6B, 0x23, 0x6A, 0x71, 0x01, 0x0A}};
// {B11EF4E8-FB4A-4A97-A54C-D0FECEA8D5A2}
inline constexpr GUID LIBID_TALLOWICKLib = {
    0xB11EF4E8, 0xFB4A, 0x4A97, {0xA5, 0x4C, 0xD0, 0xFE, 0xCE, 0xA8, 0xD5, 0xA2}};

// A dual interface without methods of its own.
struct IMenuHandler : IDispatch {
protected:
    ~IMenuHandler() = default;
};
