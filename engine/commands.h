// Handlers of the engine's own commands: the three that do nothing, the demo start, the debug
// switch and the resource directory. They read the script's Parameter buffers.
#pragma once

void SetLayer();
void SetScene();
void SetCam();
void SetDemoStart();
void SetDebug();
void SetResourceDir();
