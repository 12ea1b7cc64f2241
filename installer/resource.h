// Symbolic identifiers of the installer's resources and dialog controls,
// shared by the resource script and the code.
#pragma once

// Main window (dialog "MAIN_WINDOW").
#define IDC_PREVIEW_FRAME 0      // group box around the picture
#define IDC_PREVIEW 101          // static showing bitmap IDB_PREVIEW
#define IDC_PROGRESS 102         // progress bar of the library's progress pair
#define IDC_STATUS 103           // status line
#define IDC_PERCENT 104          // percentage label of the progress pair
#define IDC_README 105           // opens the readme window
#define IDC_INSTALL 106          // runs the installation

// Readme window (dialog "INFO_WINDOW").
#define IDC_INFO_OK 4001         // closes the window
#define IDC_INFO_LINK 4002       // hyperlink control
#define IDC_INFO_SCROLLER 4003   // scrolling readme text
#define IDC_INFO_NOTE -1         // the two notice lines

// The link shown in the readme window; its label and its target.
#define INFO_LINK_ADDRESS "http://www.example.org/pbokit/"
#define INFO_TOOL_LINE "Built with MinGW-w64 GCC"
#define INFO_NOTICE_LINE "Copyright (c) 2026 the pbokit project. All rights reserved."

// Pictures.
#define IDB_PREVIEW 104          // 353 x 129 preview picture
#define IDI_ERRORBOX 100         // icon group of the error boxes

// The readme text: type "BINRES", integer id 3.
#define IDR_README 3

// Number of replacement textures, resources "PATCH1" .. "PATCH21".
#define PAYLOAD_COUNT 21
