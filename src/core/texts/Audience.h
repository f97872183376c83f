// Every text a user reads comes from the files of this folder, one table of
// functions a subsystem, so that no other file holds or edits a text. Where
// the window, the Small Box dialog and the command line say one outcome
// differently, the text is chosen by the one reading it.
#pragma once

enum class Audience {
    Window,   // the main window's status line, log and boxes
    SmallBox, // the Small Box dialog (TForm3)
    Terminal, // tarnvik-cli's lines on the terminal
};
