// Control identifiers of the main dialog. Shared by the resource script and the code.
#pragma once

#define IDC_EXIT 100
#define IDC_CARTLIST 101
#define IDC_LAUNCH 102
#define IDC_TITLE 103
#define IDC_SAVE 104
#define IDC_ABOUT 105
#define IDC_NOSOUND 106
#define IDC_Z80 107
#define IDC_EUROPE 108
#define IDC_JAPAN 109
#define IDC_USA 110
#define IDC_FRAMES 111
#define IDC_FRAMESPIN 112
#define IDC_DELETE 113

// Notification codes as the window system sends them.
#define QV_LBN_SELCHANGE 1
#define QV_LBN_DBLCLK 2
#define QV_LBN_SETFOCUS 4
#define QV_LBN_KILLFOCUS 5
#define QV_EN_SETFOCUS 0x0100
#define QV_EN_KILLFOCUS 0x0200
#define QV_EN_CHANGE 0x0300
#define QV_BN_CLICKED 0

// The command the dialog keyboard handling sends for Escape (the window system's IDCANCEL).
#define QV_IDCANCEL 2
