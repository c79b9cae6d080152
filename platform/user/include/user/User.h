#pragma once
// All of the window system's calls.
#include "gdi/Gdi.h"
#include "user/Dialog.h"
#include "user/DialogTemplate.h"
#include "user/Menu.h"
#include "user/MessageBox.h"
#include "user/Messages.h"
#include "user/Paint.h"
#include "user/Strings.h"
#include "user/System.h"
#include "user/Window.h"
