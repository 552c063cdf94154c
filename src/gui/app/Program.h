// The desktop program: start-up, the message loop and the end.
#pragma once

namespace vantrel::gui {

// Entry of vantrel: takes --market URL and --data-dir DIR (as vantrel-cli does) besides Qt's own options, creates
// the main window (whose "created" handler attaches the skin, puts the icon into the tray and loads the address
// history), runs the message loop until the window is closed or "退出软件" is chosen, then runs the exit routine.
int RunProgram(int argc, char** argv);

}  // namespace vantrel::gui
