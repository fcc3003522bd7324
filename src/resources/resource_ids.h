// Ids of the setup's resources: the dialog templates, their controls, the icons and the payload.
// Plain #defines, read by windres for the resource scripts as well as by the C++ code and the
// window tests, so that each id is written once.
#ifndef CORVANE_RESOURCES_RESOURCE_IDS_H
#define CORVANE_RESOURCES_RESOURCE_IDS_H

// The setup dialog. Its OK and Cancel buttons are IDOK and IDCANCEL.
#define IDD_SETUP 102
#define IDC_SETUP_ICON_FRAME 1000  // the browse button takes this id as well
#define IDC_SETUP_INSTALL_PATH 1001
#define IDC_SETUP_DESCRIPTION 1002
#define IDC_SETUP_PATH_LABEL 1003
#define IDC_SETUP_UPDATE_INFO 1005
#define IDI_SETUP_WINDOW 128
#define IDI_SETUP_BROWSE 177

// The folder chooser. Its OK and Cancel buttons are IDOK and IDCANCEL.
#define IDD_CHOOSER 149
#define IDC_CHOOSER_FREE_SPACE 1001
#define IDC_CHOOSER_TREE 1013
#define IDC_CHOOSER_PATH_DISPLAY 1028
#define IDC_CHOOSER_FOLDER_LABEL 1061
// The icon groups of the chooser's tree.
#define IDI_CHOOSER_FIXED 133
#define IDI_CHOOSER_FOLDER 178
#define IDI_CHOOSER_REMOVABLE 180
#define IDI_CHOOSER_CDROM 181
#define IDI_CHOOSER_REMOTE 182

// The packed product files (RCDATA).
#define IDR_PAYLOAD 129

#endif
