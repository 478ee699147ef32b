// Handlers of the engine's own commands: the three that do nothing, the demo start, the debug
// switch, the resource directory and the tempo of stamps in beats. They read the script's Parameter buffers.
#pragma once

void SetLayer();
void SetScene();
void SetCam();
void SetDemoStart();
void SetDebug();
void SetResourceDir();
void SetBpm();
