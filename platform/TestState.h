#pragma once

// Tests only (not exported): puts the process-wide state of the platform
// layer back to how a fresh process starts, so one test cannot leave a held
// mouse button, a drag image, a pending injected failure or changed system
// colours to the next: no button or modifier held, the cursor at 0, 0, no
// drag image, no image-list creation set to fail, the classic colours.
void DaruResetPlatformState();
