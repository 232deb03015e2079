// The launcher's name as its windows show it, and the texts of the About box; shared by the
// resource script and both front ends.
#pragma once

// The caption of the main window and of the message boxes.
#define QV_CAPTION "Quorvalis '95"
#define QV_ABOUT_CAPTION "About " QV_CAPTION

#define QV_ABOUT_NAME QV_CAPTION
#define QV_ABOUT_VERSION "Version 1.2"
#define QV_ABOUT_AUTHOR "Written by Tamsin Vell"
#define QV_ABOUT_COPYRIGHT "Copyright (c) 1996 Quorvalis Software"
#define QV_ABOUT_EMAIL "quorvalis@example.net"
#define QV_ABOUT_WEB "http://www.example.net/quorvalis/"
