// The form's command handling, written once for every front end.
#pragma once

// One report of a control: its ID and the notification code, as the window system's command
// message carries them.
void HandleFormCommand(int id, int code);
