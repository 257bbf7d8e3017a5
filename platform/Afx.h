// The framework in one include, for the program's and the tests' sources.
#pragma once

#include "platform/CComboBox.h"
#include "platform/CDC.h"
#include "platform/CDialog.h"
#include "platform/CEvent.h"
#include "platform/CException.h"
#include "platform/CFile.h"
#include "platform/CImageList.h"
#include "platform/CRect.h"
#include "platform/CRichEditCtrl.h"
#include "platform/CStatic.h"
#include "platform/CString.h"
#include "platform/CWinApp.h"
#include "platform/CWinThread.h"
#include "platform/CWnd.h"
#include "platform/UniqueHandle.h"
