#pragma once

#include "terminal/CellBuffer.h"
#include "terminal/Display.h"
#include "terminal/Platform.h"

// An edit control in terminal cells: its text with the cursor kept in view,
// and the editing keys a person uses, delivered as typing (WM_CHAR) and as
// cursor moves on the control's own selection.

namespace termui {

// Draws the edit in the rectangle (one line, or several for a multi-line
// edit); when focused, sets where the cursor goes.
void DrawEdit(CellBuffer& out, const Rect& r, const CEdit& edit, uint16_t style, bool focused, int* cursorX,
              int* cursorY);
// Handles an editing key; false for keys that are not for the edit (Enter,
// Tab, Escape, and Up or Down past the first or last line).
bool EditKey(CEdit& edit, const Event& e);
// Puts the cursor where a click on the cell of the rectangle lands.
void EditClick(CEdit& edit, const Rect& r, int x, int y);

}  // namespace termui
