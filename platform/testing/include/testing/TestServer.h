#pragma once
// The identifiers and interface of the COM tests' in-process server (platform/com/tests/TestServer.cpp,
// the com_test_server library), shared by the server and the suites that install and create it.

#include "com/Automation.h"

// A dual interface without methods of its own.
struct ITestObject : IDispatch {
protected:
    ~ITestObject() = default;
};

inline constexpr CLSID CLSID_TestObject = {
    0x3F1A9C20, 0x5B7E, 0x4C11, {0x9A, 0x2D, 0x61, 0x0B, 0x7E, 0x44, 0xC3, 0x01}};
// A class whose FinalConstruct fails.
inline constexpr CLSID CLSID_RefusingObject = {
    0x3F1A9C20, 0x5B7E, 0x4C11, {0x9A, 0x2D, 0x61, 0x0B, 0x7E, 0x44, 0xC3, 0x02}};
inline constexpr IID IID_ITestObject = {
    0x3F1A9C20, 0x5B7E, 0x4C11, {0x9A, 0x2D, 0x61, 0x0B, 0x7E, 0x44, 0xC3, 0x03}};
inline constexpr GUID LIBID_TestServerLib = {
    0x3F1A9C20, 0x5B7E, 0x4C11, {0x9A, 0x2D, 0x61, 0x0B, 0x7E, 0x44, 0xC3, 0x04}};

inline constexpr char16_t kTestObjectClsidText[] = u"{3F1A9C20-5B7E-4C11-9A2D-610B7E44C301}";
inline constexpr char16_t kRefusingObjectClsidText[] = u"{3F1A9C20-5B7E-4C11-9A2D-610B7E44C302}";
inline constexpr char16_t kTestObjectIidText[] = u"{3F1A9C20-5B7E-4C11-9A2D-610B7E44C303}";
inline constexpr char16_t kTestServerLibidText[] = u"{3F1A9C20-5B7E-4C11-9A2D-610B7E44C304}";

// Exports of the server that count what happened to its objects.
using TestServerCounter = LONG (*)();
