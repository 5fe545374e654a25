// The window's compiled-in images live in a static library: whoever shows the window registers them.
#pragma once

void RegisterFWUpdateResources();
