#pragma once

#include <chrono>

// The end of the user's session reaches a program as SIGTERM (or SIGHUP, or SIGINT from a terminal).
// From this call on, each of them ends the application's event loop, as the platform's own request to
// end would: the program then ends as through its own exit command, and its windows' clean-up runs
// (a recording under way is completed). A second signal while that clean-up runs ends the process at
// once, and so does the first when the GUI thread is busy and does not take it up within seconds.
// Needs the application object; call it once.
void QuitOnTerminationSignals();

// How long a busy GUI thread has to take the first signal up before the process ends without it: five
// seconds unless changed. Tests of that end shorten it rather than sit through it; call it before
// QuitOnTerminationSignals.
void SetBusyGrace(std::chrono::milliseconds grace);

// A write to a connection whose other end has gone (the X server's, above all) answers an error
// instead of ending the process with SIGPIPE: the program then takes the loss as its own and ends
// through its clean-up, so a recording under way is completed. QuitOnTerminationSignals calls it.
void IgnoreBrokenPipes();
