#include "platform/TestState.h"

#include "platform/Gdi.h"
#include "platform/ImageList.h"
#include "platform/Input.h"

void DaruResetPlatformState() {
  DaruResetInputState();
  DaruResetImageListState();
  ResetSysColors();
}
