// What screen readers are told about a parameter chart: its name, the
// focused node as the description (the status line's text), and the focused
// node's value as a value they can read and set, within the parameter's
// minimum and maximum.
//
// Main thread only.
#pragma once

// Installs the factory (once; later calls do nothing). Install before the
// first chart is asked for its interface.
void InstallChartAccessible();
