#pragma once

// Runs the start-up sequence and the event loop; returns the event loop's result.
int runApplication(int argc, char** argv);
