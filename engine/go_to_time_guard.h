// The "Go to Time" dialog guard: while the services run, a timer on the main run loop closes
// the host's "Go to Time" modal dialog whenever it is open, so that a dialog opened by a stray
// keystroke does not stall the idle tick (and with it the phones' streams).
#pragma once

#include "platform/runloop.h"

// The guard's timer while the services run; null while they are stopped. Main thread only.
extern qlo::runloop::TimerPtr g_goToTimeGuard;

// Creates the guard's repeating timer (every 0.12 s, in the default and the modal-panel modes,
// so that it also fires while a modal dialog runs) and keeps it in g_goToTimeGuard. A guard
// that is already scheduled is kept: at most one exists.
void StartGoToTimeGuard();
// Invalidates and forgets the guard's timer (the services stop).
void StopGoToTimeGuard();

// One check of the guard: closes the modal window when its title names the "Go to Time"
// dialog, through its confirming button, else by ending the modal loop.
void DismissGoToTimeDialog();
