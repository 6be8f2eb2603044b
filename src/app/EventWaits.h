#pragma once

namespace skylark {

// Runs the events that are pending now (timers, clicks, network), then returns.
void processPendingEvents();

// Waits the given time while the thread's events keep being processed, so the program
// stays responsive and handlers may run during the wait.
void waitProcessingEvents(int milliseconds);

} // namespace skylark
