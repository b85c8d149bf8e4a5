// Resource ids shared by the C++ code and corvane.rc.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_ABOUTBOX 100
#define IDD_MAINDLG 129

#define ID_APP_ABOUT 57664

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Main dialog controls; the dialog's exchange and commands refer to these.
#define IDC_KERNEL_FLAGS 1001
#define IDC_STACKWALK 1002
#define IDC_FILE_MODE 1003
#define IDC_MAX_FILE_SIZE 1004
#define IDC_ETL_OUT_PATH 1005
#define IDC_BUFFER_SIZE 1006
#define IDC_MIN_BUFFERS 1007
#define IDC_MAX_BUFFERS 1008
#define IDC_KERNEL_PATH 1009
#define IDC_PROVIDERS 1010
#define IDC_LOG_STACK 1011
#define IDC_SESSION_NAME 1012
#define IDC_USER_PATH 1013
#define IDC_RESET 1014
#define IDC_HEAP 1015
#define IDC_HEAP_PROCESS 1016
#define IDC_HEAP_SESSION_NAME 1017
#define IDC_HEAP_PATH 1018
