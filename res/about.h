// Texts of the About box, shared by the resource script and the native front end.
#pragma once

#define QV_ABOUT_NAME "Quorvalis '95"
#define QV_ABOUT_VERSION "Version 1.2"
#define QV_ABOUT_AUTHOR "Written by Tamsin Vell"
#define QV_ABOUT_COPYRIGHT "Copyright (c) 1996 Quorvalis Software"
#define QV_ABOUT_EMAIL "quorvalis@example.net"
#define QV_ABOUT_WEB "http://www.example.net/quorvalis/"
