#pragma once
// Classes that platform libraries serve without a registry entry (the XML DOM). A library registers its
// class when it is loaded and revokes it when it is unloaded; CoGetClassObject asks it before it looks in
// the registry.

#include "com/Unknown.h"

namespace com {

using GetClassObjectFunction = HRESULT (*)(REFCLSID rclsid, REFIID riid, void** ppv);

// False when the class is already registered.
bool RegisterBuiltInClass(REFCLSID clsid, GetClassObjectFunction getClassObject);
void RevokeBuiltInClass(REFCLSID clsid);

} // namespace com
