// Resource and control ids, shared by the resource script and the dialog procedures.
#pragma once

#define IDS_APP_TITLE 103
#define IDC_SELFEXTRACT 109

#define IDD_MAIN 129
#define IDD_PASSWORD 130
#define IDD_FINISHED 139
#define IDD_PROGRESS 140
#define IDD_LICENSE 141

#define IDC_CAPTION 1014
#define IDC_UNZIP_LABEL 1017
#define IDC_UNZIP_DIR 1003
#define IDC_BROWSE 1004
#define IDC_UNZIP 1001
#define IDC_STATUS 1016
#define IDC_RESULT 1013
#define IDC_PROGRESS 1008
#define IDC_PASSWORD 1007
#define IDC_FINISHED_OK 1015
#define IDC_LICENSE_TEXT 1018
// Posted by the progress dialog's timer to itself; starts the extraction once.
#define IDC_START_UNZIP 1002
